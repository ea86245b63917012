#pragma once

#include <QString>
#include <QStringList>

// The short usage text that the label "使用说明" appends to the information pane for the settings
// page on display: a title line, then the page's section (heading, numbered items, group dividers,
// a closing line of seven blanks).
namespace UsageText {

inline constexpr int kPageCount = 5;

// Captions of the five settings pages, in page order.
QString pageCaption(int pageIndex);

// "使用说明 [" + caption + "]"
QString titleLine(const QString& pageCaption);

// The section of a page; empty for an index that names no page.
QStringList section(int pageIndex);

// What Label8Click appends: the title line with the caption of the page on display, then its section.
QStringList linesFor(int pageIndex, const QString& pageCaption);

// "＝＝＝＝" + caption + "＝＝＝＝": the line above and below the items of one group box.
QString divider(const QString& groupCaption);

// Captions of the group boxes that the sections name, so that the window shows the same words.
namespace Groups {
inline const QString kAddressList = QStringLiteral("地址列表");         // GroupBox15
inline const QString kAlarmSounds = QStringLiteral("报警声音选择");     // GroupBox5
inline const QString kRecorder = QStringLiteral("录制报警声音");        // GroupBox6
inline const QString kPhoneList = QStringLiteral("报警电话列表");       // the group of mPhone
inline const QString kPhoneSettings = QStringLiteral("电话报警参数");   // GroupBox14
inline const QString kRecipient = QStringLiteral("收件人设置");         // GroupBox7
inline const QString kSender = QStringLiteral("发件人设置");            // GroupBox8
inline const QString kReceiveWays = QStringLiteral("接收方式");         // GroupBox10
inline const QString kReceivers = QStringLiteral("接收报警主机IP地址"); // GroupBox11
inline const QString kMessageFormat = QStringLiteral("报警信息格式");   // GroupBox12
} // namespace Groups

} // namespace UsageText
