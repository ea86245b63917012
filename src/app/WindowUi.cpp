#include "app/WindowUi.h"

#include "app/PaneView.h"
#include "desktop/UsageText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

// The window is laid out as the monitor has always looked: fixed positions inside the pages of the
// settings group, resizable lists and panes below it. Creation order inside a container is the order
// in which start-up loads the bound settings, so bound controls are created in that order.
namespace {

constexpr int kRow = 24;
// The telephone page holds one row of settings more than the other pages.
constexpr int kPhoneGroupHeight = 114 + kRow;

template <class T>
T* place(QWidget* parent, const char* name, int x, int y, int w, int h)
{
    auto* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QLabel* label(QWidget* parent, const QString& text, int x, int y, int w)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 22);
    return l;
}

void bind(QWidget* control, const char* hint)
{
    control->setProperty("hint", QString::fromLatin1(hint));
}

QSpinBox* spin(QWidget* parent, const char* name, const char* hint, int value, int x, int y, int w)
{
    auto* s = place<QSpinBox>(parent, name, x, y, w, 22);
    // No range of its own: the save rule is the only bound.
    s->setRange(INT_MIN, INT_MAX);
    s->setValue(value);
    bind(s, hint);
    return s;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& caption, const char* hint, bool checked, int x,
                 int y, int w)
{
    auto* c = place<QCheckBox>(parent, name, x, y, w, 22);
    c->setText(caption);
    c->setChecked(checked);
    if (hint)
        bind(c, hint);
    return c;
}

QLineEdit* edit(QWidget* parent, const char* name, const char* hint, const QString& text, int x, int y, int w)
{
    auto* e = place<QLineEdit>(parent, name, x, y, w, 22);
    e->setText(text);
    if (hint)
        bind(e, hint);
    return e;
}

QComboBox* combo(QWidget* parent, const char* name, const char* hint, const QStringList& items, int x, int y, int w)
{
    auto* c = place<QComboBox>(parent, name, x, y, w, 22);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setCurrentIndex(-1);
    bind(c, hint);
    return c;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& caption, int x, int y, int w, int h)
{
    auto* g = place<QGroupBox>(parent, name, x, y, w, h);
    g->setTitle(caption);
    return g;
}

QToolButton* toolButton(QWidget* parent, const char* name, const QString& hint, QStyle::StandardPixmap icon)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setText(hint);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRaise(true);
    return b;
}

QPlainTextEdit* listMemo(QWidget* parent, const char* name, const QString& tooltip)
{
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QLatin1String(name));
    m->setToolTip(tooltip);
    m->setReadOnly(true);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return m;
}

// A group box holding a list memo with its tool bar above it.
QWidget* toolRow(QWidget* parent, std::initializer_list<QWidget*> widgets)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (QWidget* w : widgets) {
        w->setParent(row);
        layout->addWidget(w);
    }
    layout->addStretch();
    return row;
}

void buildPingPage(WindowUi& ui)
{
    QWidget* p = ui.TabSheet1;
    label(p, QStringLiteral("间隔"), 8, 4, 30);
    label(p, QStringLiteral("分钟Ping"), 100, 4, 56);
    label(p, QStringLiteral("个包"), 212, 4, 30);
    ui.sePingCount = spin(p, "sePingCount", "PingPara,PingCount", 4, 156, 4, 54);
    ui.sePingErr = spin(p, "sePingErr", "PingPara,Qty", 50, 112, 4 + kRow, 54);
    ui.sePingInterval = spin(p, "sePingInterval", "PingPara,PingInterval", 30, 40, 4, 58);
    ui.seRTT = spin(p, "seRTT", "PingPara,RTT", 500, 112, 4 + 2 * kRow, 54);
    ui.cbQty = check(p, "cbQty", QStringLiteral("线路质量低于"), "PingPara,cbQty", true, 8, 4 + kRow, 104);
    ui.cbRTT = check(p, "cbRTT", QStringLiteral("响应时间大于"), "PingPara,cbRTT", true, 8, 4 + 2 * kRow, 104);
    ui.CheckBox3 =
        check(p, "CheckBox3", QStringLiteral("开机自动运行"), "PingPara,AutoRun", false, 8, 4 + 3 * kRow, 110);
    ui.cbIgNormal =
        check(p, "cbIgNormal", QStringLiteral("忽略正常提示"), "PingPara,IgNormal", true, 124, 4 + 3 * kRow, 110);
    label(p, QStringLiteral("％时报警"), 170, 4 + kRow, 70);
    label(p, QStringLiteral("毫秒时报警"), 170, 4 + 2 * kRow, 76);
    QLabel* parallelLabel = label(p, QStringLiteral("同时检测地址数"), 8, 4 + 4 * kRow, 104);
    ui.seParallel = spin(p, "seParallel", "PingPara,Parallel", 1, 112, 4 + 4 * kRow, 54);
    ui.seParallel->setRange(1, 256); // the one spin field with a range of its own
    for (QWidget* w : std::initializer_list<QWidget*>{parallelLabel, ui.seParallel})
        w->setToolTip(QStringLiteral("同时检测的地址数。为1时逐个检测地址；大于1时同时检测多个地址，"
                                     "地址多或有不通的地址时一轮检测快得多。每个地址的检测次数、超时和判断不变。"));
    ui.cbNotify = check(p, "cbNotify", QStringLiteral("桌面通知"), "PingPara,Notify", true, 172, 4 + 4 * kRow, 76);
    ui.cbNotify->setToolTip(
        QStringLiteral("有报警时在桌面上弹出通知，写明报警的地址和个数：有托盘区时在托盘图标旁，"
                       "没有时通过桌面的通知服务。每轮检测最多一条，收到的网络报警每分钟最多一条。"));

    ui.GroupBox3 = group(p, "GroupBox3", QStringLiteral("报警方式"), 250, 0, 92, 114);
    ui.cbSD = check(ui.GroupBox3, "cbSD", QStringLiteral("声音报警"), "PingPara,A1", false, 8, 18, 80);
    ui.cbTel = check(ui.GroupBox3, "cbTel", QStringLiteral("电话报警"), "PingPara,A2", false, 8, 18 + kRow, 80);
    ui.cbEmail = check(ui.GroupBox3, "cbEmail", QStringLiteral("邮件报警"), "PingPara,A3", false, 8, 18 + 2 * kRow, 80);
    ui.cbNet = check(ui.GroupBox3, "cbNet", QStringLiteral("网络报警"), "PingPara,A4", false, 8, 18 + 3 * kRow, 80);

    ui.bbPing = place<QPushButton>(p, "bbPing", 350, 14, 82, 34);
    ui.bbPing->setText(QStringLiteral("&Ping"));
    ui.bbPing->setIcon(p->style()->standardIcon(QStyle::SP_DialogOkButton));
    ui.bbPing->setDefault(true);
    ui.bbCanc = place<QPushButton>(p, "bbCanc", 350, 64, 82, 34);
    ui.bbCanc->setText(QStringLiteral("&C取消"));
    ui.bbCanc->setIcon(p->style()->standardIcon(QStyle::SP_DialogCancelButton));

    ui.GroupBox9 = group(p, "GroupBox9", QStringLiteral("下次检测剩余时间："), 438, 0, 344, 114);
    ui.lMin = place<QLabel>(ui.GroupBox9, "lMin", 2, 14, 340, 98);
    ui.lMin->setText(QStringLiteral("00:00"));
    ui.lMin->setToolTip(QStringLiteral("暂停/继续"));
    ui.lMin->setAlignment(Qt::AlignCenter);
    QPalette red = ui.lMin->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ui.lMin->setPalette(red);
    QFont digits = ui.lMin->font();
    digits.setPixelSize(96);
    digits.setBold(true);
    ui.lMin->setFont(digits);
}

void buildSoundPage(WindowUi& ui)
{
    QWidget* p = ui.TabSheet2;
    p->setProperty("hint", QStringLiteral("Break,Bad,Slow"));
    ui.Panel2 = place<QWidget>(p, "Panel2", 0, 0, 470, 106);
    ui.GroupBox15 = group(ui.Panel2, "GroupBox15", UsageText::Groups::kAddressList, 2, 0, 150, 114);
    ui.lbSD = place<QListWidget>(ui.GroupBox15, "lbSD", 4, 18, 142, 82);

    ui.GroupBox5 = group(ui.Panel2, "GroupBox5", UsageText::Groups::kAlarmSounds, 156, 0, 312, 114);
    QWidget* g = ui.GroupBox5;
    label(g, QStringLiteral("断网报警音："), 6, 16, 100);
    label(g, QStringLiteral("质量太差报警音："), 6, 16 + 22, 100);
    label(g, QStringLiteral("响应太慢报警音："), 6, 16 + 44, 100);
    ui.CheckBox4 = check(g, "CheckBox4", QStringLiteral("设为默认报警声音"), "SndPara,DefSD", false, 6, 80, 130);
    ui.CheckBox1 = check(g, "CheckBox1", QStringLiteral("循环播放"), "SndPara,Repeat", false, 150, 80, 90);
    const char* names[] = {"Edit4", "Edit8", "Edit7"};
    const char* buttons[] = {"SpeedButton1", "SpeedButton2", "SpeedButton3"};
    QLineEdit** edits[] = {&ui.Edit4, &ui.Edit8, &ui.Edit7};
    QToolButton** plays[] = {&ui.SpeedButton1, &ui.SpeedButton2, &ui.SpeedButton3};
    for (int i = 0; i < 3; ++i) {
        *edits[i] = edit(g, names[i], nullptr, QString(), 108, 16 + 22 * i, 170);
        (*edits[i])->setToolTip(QStringLiteral("点击可选择声音文件"));
        (*edits[i])->setProperty("tag", i);
        *plays[i] = place<QToolButton>(g, buttons[i], 282, 16 + 22 * i, 24, 22);
    }

    ui.GroupBox6 = group(p, "GroupBox6", UsageText::Groups::kRecorder, 474, 0, 306, 114);
    g = ui.GroupBox6;
    label(g, QStringLiteral("文件名："), 6, 18, 50);
    ui.Edit5 = edit(g, "Edit5", nullptr, QString(), 56, 18, 214);
    ui.SpeedButton4 = place<QToolButton>(g, "SpeedButton4", 274, 18, 24, 22);
    label(g, QStringLiteral("声道："), 6, 48, 40);
    ui.ComboBox1 =
        combo(g, "ComboBox1", "SndPara,channels", {QStringLiteral("单声道"), QStringLiteral("双声道")}, 46, 48, 96);
    label(g, QStringLiteral("清晰度："), 150, 48, 52);
    ui.ComboBox2 =
        combo(g, "ComboBox2", "SndPara,resolution", {QStringLiteral("8位"), QStringLiteral("16位")}, 202, 48, 96);
    label(g, QStringLiteral("频率："), 6, 76, 40);
    ui.ComboBox3 = combo(
        g, "ComboBox3", "SndPara,rate",
        {QStringLiteral("8000HZ"), QStringLiteral("11025HZ"), QStringLiteral("22050HZ"), QStringLiteral("44100HZ")}, 46,
        76, 96);
}

void buildPhonePage(WindowUi& ui)
{
    QWidget* p = ui.TabSheet3;
    ui.GroupBox13 = group(p, "GroupBox13", UsageText::Groups::kPhoneList, 2, 0, 200, kPhoneGroupHeight);
    auto* layout = new QVBoxLayout(ui.GroupBox13);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(1);
    ui.ToolButton14 =
        toolButton(ui.GroupBox13, "ToolButton14", QStringLiteral("设置为可修改"), QStyle::SP_FileDialogDetailedView);
    ui.ToolButton15 = toolButton(ui.GroupBox13, "ToolButton15", QStringLiteral("保存"), QStyle::SP_DialogSaveButton);
    layout->addWidget(toolRow(ui.GroupBox13, {ui.ToolButton14, ui.ToolButton15}));
    ui.mPhone = listMemo(ui.GroupBox13, "mPhone", QStringLiteral("双击后可输入报警电话号码。"));
    ui.mPhone->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ui.mPhone->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(ui.mPhone);

    ui.GroupBox14 = group(p, "GroupBox14", UsageText::Groups::kPhoneSettings, 206, 0, 574, kPhoneGroupHeight);
    QWidget* g = ui.GroupBox14;
    label(g, QStringLiteral("测试报警录音："), 6, 16, 90);
    ui.Edit6 = edit(g, "Edit6", "TelPara,TelTestSnd", QString(), 96, 16, 190);
    ui.Edit6->setReadOnly(true);
    label(g, QStringLiteral("报警声音播放最长时间(分钟)："), 6, 16 + kRow, 176);
    ui.SpinEdit2 = spin(g, "SpinEdit2", "TelPara,MaxTime", 2, 182, 16 + kRow, 50);
    const int keysY = 16 + 2 * kRow;
    label(g, QStringLiteral("接收方按下"), 6, keysY, 64);
    ui.Edit9 = edit(g, "Edit9", "TelPara,Rec0", QStringLiteral("0"), 70, keysY, 24);
    label(g, QStringLiteral("代表不继续拨号。"), 96, keysY, 100);
    label(g, QStringLiteral("接收方按下"), 200, keysY, 64);
    ui.Edit10 = edit(g, "Edit10", "TelPara,Rec1", QStringLiteral("1"), 264, keysY, 24);
    label(g, QStringLiteral("代表继续拨号。"), 290, keysY, 100);
    label(g, QStringLiteral("接收方按下"), 6, keysY + kRow, 64);
    ui.Edit11 = edit(g, "Edit11", "TelPara,Rec2", QStringLiteral("2"), 70, keysY + kRow, 24);
    label(g, QStringLiteral("代表重播报警音。"), 96, keysY + kRow, 100);
    label(g, QStringLiteral("接收方按下"), 200, keysY + kRow, 64);
    ui.Edit13 = edit(g, "Edit13", "TelPara,Rec3", QStringLiteral("3"), 264, keysY + kRow, 24);
    label(g, QStringLiteral("代表暂停/继续Ping。"), 290, keysY + kRow, 120);
    ui.btSDTest = place<QPushButton>(g, "btSDTest", 292, 14, 90, 26);
    ui.btSDTest->setText(QStringLiteral("通话测试"));
    label(g, QStringLiteral("当前设备："), 390, 16, 64);
    ui.Edit12 = edit(g, "Edit12", nullptr, QString(), 390, 16 + kRow, 178);
    ui.Edit12->setReadOnly(true);
    ui.BitBtn5 = place<QPushButton>(g, "BitBtn5", 478, 14, 90, 26);
    ui.BitBtn5->setText(QStringLiteral("选择设备"));
    // The line over SIP: the station's own address, its password and the registrar.
    const int sipY = 16 + 4 * kRow;
    label(g, QStringLiteral("SIP账号："), 6, sipY, 58);
    ui.edtSipAccount = edit(g, "edtSipAccount", "TelPara,SipAccount", QString(), 64, sipY, 150);
    ui.edtSipAccount->setPlaceholderText(QStringLiteral("sip:alarm@pbx.example.com"));
    ui.edtSipAccount->setToolTip(
        QStringLiteral("通过SIP服务器拨打报警电话时本站的SIP账号，如sip:alarm@pbx.example.com。填写后可在"
                       "“选择设备”中选择SIP线路，报警电话列表中可写电话号码或sip:地址。不用SIP时留空。"));
    label(g, QStringLiteral("SIP密码："), 218, sipY, 58);
    ui.edtSipPsw = edit(g, "edtSipPsw", "TelPara,SipPassword", QString(), 276, sipY, 90);
    ui.edtSipPsw->setEchoMode(QLineEdit::Password);
    ui.edtSipPsw->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    ui.edtSipPsw->setToolTip(QStringLiteral("SIP账号的密码。"));
    label(g, QStringLiteral("SIP服务器："), 370, sipY, 68);
    ui.edtSipServer = edit(g, "edtSipServer", "TelPara,SipServer", QString(), 438, sipY, 130);
    ui.edtSipServer->setToolTip(QStringLiteral(
        "SIP账号注册的服务器地址，如pbx.example.com或pbx.example.com:5060；留空时用SIP账号中“@”后面的域名。"));
}

void buildMailPage(WindowUi& ui)
{
    QWidget* p = ui.TabSheet4;
    ui.GroupBox7 = group(p, "GroupBox7", UsageText::Groups::kRecipient, 2, 0, 300, 114);
    label(ui.GroupBox7, QStringLiteral("收件人邮箱："), 6, 20, 80);
    ui.edtRec = edit(ui.GroupBox7, "edtRec", "EmailPara,RecMailBox", QString(), 86, 20, 206);
    ui.BitBtn2 = place<QPushButton>(ui.GroupBox7, "BitBtn2", 86, 60, 120, 28);
    ui.BitBtn2->setText(QStringLiteral("发送测试邮件"));

    ui.GroupBox8 = group(p, "GroupBox8", UsageText::Groups::kSender, 306, 0, 474, 114);
    QWidget* g = ui.GroupBox8;
    label(g, QStringLiteral("发件人邮箱："), 6, 18, 80);
    ui.edtSend = edit(g, "edtSend", "EmailPara,Sender", QStringLiteral("tarnwicker@163.com"), 86, 18, 170);
    label(g, QStringLiteral("密码："), 264, 18, 40);
    ui.edtSendPsw = edit(g, "edtSendPsw", "EmailPara,E4", QString(), 304, 18, 160);
    ui.edtSendPsw->setEchoMode(QLineEdit::Password);
    ui.edtSendPsw->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    ui.ckbCheck = check(g, "ckbCheck", QStringLiteral("发送时需要身份验证"), "EmailPara,Check", true, 6, 46, 160);
    label(g, QStringLiteral("发送服务器地址："), 6, 74, 100);
    ui.edtSendSrv = edit(g, "edtSendSrv", "EmailPara,SendSrv", QStringLiteral("smtp.163.com"), 106, 74, 190);
    label(g, QStringLiteral("端口："), 304, 74, 40);
    ui.edtSendSrvPort = edit(g, "edtSendSrvPort", "EmailPara,SendPort", QStringLiteral("25"), 344, 74, 60);
}

void buildNetworkPage(WindowUi& ui)
{
    QWidget* p = ui.TabSheet5;
    ui.GroupBox10 = group(p, "GroupBox10", UsageText::Groups::kReceiveWays, 2, 0, 196, 114);
    ui.cbUseMess = check(ui.GroupBox10, "cbUseMess", QStringLiteral("使用信使服务接收报警信息"), "NetPara,UseMess",
                         true, 6, 18, 186);
    ui.cbUseSelf = check(ui.GroupBox10, "cbUseSelf", QStringLiteral("使用本软件接收报警信息"), "NetPara,UseSelf", true,
                         6, 18 + kRow, 186);
    ui.BitBtn3 = place<QPushButton>(ui.GroupBox10, "BitBtn3", 6, 72, 120, 28);
    ui.BitBtn3->setText(QStringLiteral("发送测试信息"));

    ui.GroupBox11 = group(p, "GroupBox11", UsageText::Groups::kReceivers, 202, 0, 180, 114);
    auto* layout = new QVBoxLayout(ui.GroupBox11);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(1);
    ui.ToolButton10 =
        toolButton(ui.GroupBox11, "ToolButton10", QStringLiteral("设置为可修改"), QStyle::SP_FileDialogDetailedView);
    ui.ToolButton11 = toolButton(ui.GroupBox11, "ToolButton11", QStringLiteral("保存"), QStyle::SP_DialogSaveButton);
    layout->addWidget(toolRow(ui.GroupBox11, {ui.ToolButton10, ui.ToolButton11}));
    ui.mRecIp = listMemo(ui.GroupBox11, "mRecIp", QStringLiteral("双击可修改。每行一个接收报警主机的IP地址。"));
    ui.mRecIp->setPlainText(QStringLiteral("127.0.0.1"));
    ui.mRecIp->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ui.mRecIp->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    layout->addWidget(ui.mRecIp);

    ui.GroupBox12 = group(p, "GroupBox12", UsageText::Groups::kMessageFormat, 386, 0, 394, 114);
    QWidget* g = ui.GroupBox12;
    ui.MemoInfor = edit(g, "MemoInfor", "NetPara,MemoInfor", QStringLiteral("请查找原因！谢谢！"), 6, 18 + kRow, 380);
    ui.cbAddName = check(g, "cbAddName", QStringLiteral("地址名称"), "NetPara,AddName", true, 6, 18, 80);
    ui.cbAddName->setEnabled(false);
    label(g, QStringLiteral("＋"), 88, 18, 16);
    ui.cbAlarmType = check(g, "cbAlarmType", QStringLiteral("报警类型"), "NetPara,AlarmType", true, 106, 18, 80);
    label(g, QStringLiteral("＋"), 188, 18, 16);
    ui.cbAddMemo = check(g, "cbAddMemo", QStringLiteral("附加信息"), "NetPara,AddMemo", true, 206, 18, 80);
    label(g, QStringLiteral("默认端口："), 6, 18 + 2 * kRow, 64);
    ui.edtDefPort = edit(g, "edtDefPort", "NetPara,RecPort", QStringLiteral("44444"), 70, 18 + 2 * kRow, 60);
    label(g, QStringLiteral("声音报警音："), 140, 18 + 2 * kRow, 76);
    ui.netAlarmSD = edit(g, "netAlarmSD", "NetPara,AlarmSd", QString(), 216, 18 + 2 * kRow, 170);
    label(g, QStringLiteral("指标端口："), 6, 18 + 3 * kRow, 64);
    ui.edtMetricsPort = edit(g, "edtMetricsPort", "NetPara,MetricsPort", QStringLiteral("0"), 70, 18 + 3 * kRow, 60);
    ui.edtMetricsPort->setToolTip(
        QStringLiteral("本机127.0.0.1上供Prometheus采集监控状态的端口（GET /metrics），0为关闭；重新启动后生效。"));
}

void buildAddressList(WindowUi& ui, QWidget* parent)
{
    ui.GroupBox2 = new QGroupBox(QStringLiteral("IP地址表"), parent);
    ui.GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    ui.GroupBox2->setMinimumWidth(120);
    auto* layout = new QVBoxLayout(ui.GroupBox2);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(1);
    QWidget* g = ui.GroupBox2;
    ui.ToolButton1 = toolButton(g, "ToolButton1", QStringLiteral("重置线路质量"), QStyle::SP_BrowserReload);
    ui.ToolButton2 = toolButton(g, "ToolButton2", QStringLiteral("设置为可修改"), QStyle::SP_FileDialogDetailedView);
    ui.ToolButton3 = toolButton(g, "ToolButton3", QStringLiteral("保存"), QStyle::SP_DialogSaveButton);
    ui.ToolButton7 =
        toolButton(g, "ToolButton7", QStringLiteral("生成历史报警情况明细"), QStyle::SP_FileDialogContentsView);
    ui.ToolButton9 =
        toolButton(g, "ToolButton9", QStringLiteral("生成当日报警情况明细"), QStyle::SP_FileDialogInfoView);
    ui.ToolButton12 =
        toolButton(g, "ToolButton12", QStringLiteral("生成当月报警情况明细"), QStyle::SP_FileDialogListView);
    ui.ToolButton13 = toolButton(g, "ToolButton13", QStringLiteral("生成当年报警情况明细"), QStyle::SP_DirIcon);
    ui.tbHistory = toolButton(g, "tbHistory", QStringLiteral("历史曲线"), QStyle::SP_FileDialogBack);
    ui.ToolBar1 = toolRow(g, {ui.ToolButton1, ui.ToolButton2, ui.ToolButton3, ui.ToolButton7, ui.ToolButton9,
                              ui.ToolButton12, ui.ToolButton13, ui.tbHistory});
    ui.ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    layout->addWidget(ui.ToolBar1);
    ui.mLine = listMemo(g, "mLine", QStringLiteral("双击可修改。格式：IP地址:地址名称。如127.0.0.1:本地地址。"));
    ui.mLine->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(ui.mLine);

    ui.PopupMenu2 = new QMenu(ui.mLine);
    ui.PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    auto action = [&ui](const char* name, const QString& caption) {
        QAction* a = ui.PopupMenu2->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    ui.N3 = action("N3", QStringLiteral("重置线路质量"));
    ui.N4 = action("N4", QStringLiteral("设置为可修改"));
    ui.N5 = action("N5", QStringLiteral("保存"));
    ui.PopupMenu2->addSeparator();
    ui.MenuItem1 = action("MenuItem1", QStringLiteral("生成历史报警情况明细"));
    ui.N6 = action("N6", QStringLiteral("生成当日报警情况明细"));
    ui.MenuItem2 = action("MenuItem2", QStringLiteral("生成当月报警情况明细"));
    ui.MenuItem3 = action("MenuItem3", QStringLiteral("生成当年报警情况明细"));
    ui.miHistory = action("miHistory", QStringLiteral("历史曲线"));
}

QListView* paneView(QWidget* parent, const char* name)
{
    auto* v = new PaneView(parent);
    v->setObjectName(QLatin1String(name));
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette palette = v->palette();
    palette.setColor(QPalette::Text, Qt::red);
    v->setPalette(palette);
    return v;
}

void buildInfoPane(WindowUi& ui, QWidget* parent)
{
    ui.GroupBox4 = new QGroupBox(QStringLiteral("提示信息"), parent);
    ui.GroupBox4->setObjectName(QStringLiteral("GroupBox4"));
    auto* layout = new QVBoxLayout(ui.GroupBox4);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(1);
    ui.tbSaveClear = toolButton(ui.GroupBox4, "tbSaveClear", QStringLiteral("保存并清空"), QStyle::SP_DialogSaveButton);
    ui.tbSaveClear->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ui.Label8 = new QLabel(QStringLiteral("使用说明"), ui.GroupBox4);
    ui.Label8->setObjectName(QStringLiteral("Label8"));
    ui.Label8->setStyleSheet(QStringLiteral("color: red;"));
    ui.Label8->setCursor(Qt::PointingHandCursor);
    layout->addWidget(toolRow(ui.GroupBox4, {ui.tbSaveClear, ui.Label8}));
    ui.panes = new QStackedWidget(ui.GroupBox4);
    ui.mInfor = paneView(ui.panes, "mInfor");
    ui.mRep = paneView(ui.panes, "mRep");
    ui.panes->addWidget(ui.mInfor);
    ui.panes->addWidget(ui.mRep);
    layout->addWidget(ui.panes);
}

} // namespace

WindowUi buildWindowUi(QWidget* window)
{
    WindowUi ui;
    ui.central = new QWidget(window);
    auto* outer = new QVBoxLayout(ui.central);
    outer->setContentsMargins(2, 2, 2, 2);
    ui.Splitter1 = new QSplitter(Qt::Vertical, ui.central);
    ui.Splitter1->setObjectName(QStringLiteral("Splitter1"));
    outer->addWidget(ui.Splitter1);

    ui.GroupBox1 = new QGroupBox(QStringLiteral("参数设置"), ui.Splitter1);
    ui.GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    ui.GroupBox1->setMinimumHeight(175 + kRow);
    auto* top = new QVBoxLayout(ui.GroupBox1);
    top->setContentsMargins(2, 0, 2, 2);
    ui.PageControl1 = new QTabWidget(ui.GroupBox1);
    ui.PageControl1->setObjectName(QStringLiteral("PageControl1"));
    top->addWidget(ui.PageControl1);
    struct Page {
        QWidget** sheet;
        const char* name;
        QString caption;
        QStyle::StandardPixmap icon;
    } pages[] = {
        {&ui.TabSheet1, "TabSheet1", QStringLiteral("Ping参数设置"), QStyle::SP_ComputerIcon},
        {&ui.TabSheet2, "TabSheet2", QStringLiteral("声音报警设置"), QStyle::SP_MediaVolume},
        {&ui.TabSheet3, "TabSheet3", QStringLiteral("电话报警设置"), QStyle::SP_DriveNetIcon},
        {&ui.TabSheet4, "TabSheet4", QStringLiteral("邮件报警设置"), QStyle::SP_FileIcon},
        {&ui.TabSheet5, "TabSheet5", QStringLiteral("网络报警设置"), QStyle::SP_DriveNetIcon},
    };
    for (const Page& page : pages) {
        *page.sheet = new QWidget(ui.PageControl1);
        (*page.sheet)->setObjectName(QLatin1String(page.name));
        ui.PageControl1->addTab(*page.sheet, window->style()->standardIcon(page.icon), page.caption);
    }
    buildPingPage(ui);
    buildSoundPage(ui);
    buildPhonePage(ui);
    buildMailPage(ui);
    buildNetworkPage(ui);

    ui.Panel1 = new QWidget(ui.Splitter1);
    ui.Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* bottom = new QHBoxLayout(ui.Panel1);
    bottom->setContentsMargins(0, 0, 0, 0);
    ui.Splitter2 = new QSplitter(Qt::Horizontal, ui.Panel1);
    ui.Splitter2->setObjectName(QStringLiteral("Splitter2"));
    bottom->addWidget(ui.Splitter2);
    buildAddressList(ui, ui.Splitter2);
    buildInfoPane(ui, ui.Splitter2);
    ui.Splitter2->addWidget(ui.GroupBox2);
    ui.Splitter2->addWidget(ui.GroupBox4);
    ui.Splitter2->setSizes({248, 551});
    ui.Splitter2->setStretchFactor(1, 1);
    ui.Splitter1->addWidget(ui.GroupBox1);
    ui.Splitter1->addWidget(ui.Panel1);
    ui.Splitter1->setSizes({175 + kRow, 410 - kRow});
    ui.Splitter1->setStretchFactor(1, 1);
    return ui;
}
