#pragma once

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QToolButton;
class QWidget;

// Every named control of the main window. The names are the monitor's own (objectName too); the
// settings binding "Section,Key" of a bound control is its dynamic property "hint".
struct WindowUi {
    QWidget* central = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QWidget* Panel1 = nullptr;

    // Ping page
    QSpinBox* sePingCount = nullptr;
    QSpinBox* seParallel = nullptr;
    QSpinBox* sePingErr = nullptr;
    QSpinBox* sePingInterval = nullptr;
    QSpinBox* seRTT = nullptr;
    QCheckBox* cbQty = nullptr;
    QCheckBox* cbRTT = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* cbIgNormal = nullptr;
    QCheckBox* cbNotify = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QCheckBox* cbSD = nullptr;
    QCheckBox* cbTel = nullptr;
    QCheckBox* cbEmail = nullptr;
    QCheckBox* cbNet = nullptr;
    QGroupBox* GroupBox9 = nullptr;
    QLabel* lMin = nullptr;
    QPushButton* bbPing = nullptr;
    QPushButton* bbCanc = nullptr;

    // Sound page
    QWidget* Panel2 = nullptr;
    QGroupBox* GroupBox15 = nullptr;
    QListWidget* lbSD = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit8 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;

    // Telephone page
    QGroupBox* GroupBox13 = nullptr;
    QPlainTextEdit* mPhone = nullptr;
    QToolButton* ToolButton14 = nullptr;
    QToolButton* ToolButton15 = nullptr;
    QGroupBox* GroupBox14 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QSpinBox* SpinEdit2 = nullptr;
    QLineEdit* Edit9 = nullptr;
    QLineEdit* Edit10 = nullptr;
    QLineEdit* Edit11 = nullptr;
    QLineEdit* Edit13 = nullptr;
    QPushButton* btSDTest = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QLineEdit* Edit12 = nullptr;
    QLineEdit* edtSipAccount = nullptr;
    QLineEdit* edtSipPsw = nullptr; // holds the scrambled form, as the mail password field does
    QLineEdit* edtSipServer = nullptr;

    // Mail page
    QGroupBox* GroupBox7 = nullptr;
    QLineEdit* edtRec = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QGroupBox* GroupBox8 = nullptr;
    QLineEdit* edtSend = nullptr;
    QLineEdit* edtSendPsw = nullptr;
    QCheckBox* ckbCheck = nullptr;
    QLineEdit* edtSendSrv = nullptr;
    QLineEdit* edtSendSrvPort = nullptr;

    // Network page
    QGroupBox* GroupBox10 = nullptr;
    QCheckBox* cbUseMess = nullptr;
    QCheckBox* cbUseSelf = nullptr;
    QGroupBox* GroupBox11 = nullptr;
    QPlainTextEdit* mRecIp = nullptr;
    QToolButton* ToolButton10 = nullptr;
    QToolButton* ToolButton11 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QGroupBox* GroupBox12 = nullptr;
    QLineEdit* MemoInfor = nullptr;
    QCheckBox* cbAddName = nullptr;
    QCheckBox* cbAlarmType = nullptr;
    QCheckBox* cbAddMemo = nullptr;
    QLineEdit* edtDefPort = nullptr;
    QLineEdit* netAlarmSD = nullptr;
    QLineEdit* edtMetricsPort = nullptr;

    // Address list
    QGroupBox* GroupBox2 = nullptr;
    QWidget* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton3 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QToolButton* ToolButton9 = nullptr;
    QToolButton* ToolButton12 = nullptr;
    QToolButton* ToolButton13 = nullptr;
    QToolButton* tbHistory = nullptr; // the latency graph of the caret line's address
    QPlainTextEdit* mLine = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* MenuItem1 = nullptr;
    QAction* N6 = nullptr;
    QAction* MenuItem2 = nullptr;
    QAction* MenuItem3 = nullptr;
    QAction* miHistory = nullptr;

    // Information pane
    QGroupBox* GroupBox4 = nullptr;
    QToolButton* tbSaveClear = nullptr;
    QLabel* Label8 = nullptr;
    QStackedWidget* panes = nullptr;
    QListView* mInfor = nullptr;
    QListView* mRep = nullptr;
};

// Creates every control of the window inside `window` (which becomes their parent).
WindowUi buildWindowUi(QWidget* window);
