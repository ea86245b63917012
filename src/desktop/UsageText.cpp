#include "desktop/UsageText.h"

namespace UsageText {

namespace {

// Continuation lines of an item start under the item's text, past "1、".
const QString kIndent = QStringLiteral("   ");
const QString kClosing = QStringLiteral("       ");

QString more(const QString& text)
{
    return kIndent + text;
}

QStringList group(const QString& caption, const QStringList& items)
{
    return QStringList{divider(caption)} + items + QStringList{divider(caption)};
}

QStringList pingPage()
{
    return {
        QStringLiteral("Ping参数设置模块：进行Ping操作的主界面，只要按需要设定一两个参数，按\"Ping\"即可。"),
        QStringLiteral(
            "1、间隔[XX]分钟Ping[X]个包：每隔几分钟检测一次（默认30分钟），每次向每个地址发送几个Ping包（默认4个）。"),
        QStringLiteral("2、□线路质量低于[XX]％时报警：有丢包且线路质量降到此值或更低时报警，默认50％。"),
        QStringLiteral("3、□响应时间大于[XX]毫秒时报警：平均响应时间(RTT)达到此值时报警，默认500毫秒。"),
        QStringLiteral("4、□开机自动运行：选中后，开机登录时自动运行本程序。"),
        QStringLiteral("5、□忽略正常提示：选中后，网络正常的地址不在提示信息中显示，默认选中。"),
        QStringLiteral("6、□声音报警、□电话报警、□邮件报警、□网络报警：选中的报警方式在出现报警时使用。"),
        QStringLiteral("7、IP地址表：每行一个地址，格式为\"IP地址:地址名称\"（冒号为半角），如127.0.0.1:本地地址；"),
        more(QStringLiteral("检测后行尾自动加上\"=XX%,XX\"，即线路质量和平均响应时间(毫秒)。双击后可修改。")),
        QStringLiteral("8、提示信息：显示检测结果和报警信息，按\"保存并清空\"存为日志文件；程序关闭时也自动保存，"),
        more(QStringLiteral("日志文件以关闭时的时间命名，如log20261207143005.txt。")),
        QStringLiteral("9、在IP地址表中把光标放在某地址所在行，右击选择\"生成历史/当日/当月/"
                       "当年报警情况明细\"即可查看该地址的报警情况。"),
        kClosing,
    };
}

QStringList soundPage()
{
    return QStringList{QStringLiteral("声音报警设置模块：为实现使用声音报警功能所需要的参数设定。")} +
           group(Groups::kAddressList,
                 {QStringLiteral(
                     "1、地址列表：IP地址表中的全部地址（程序启动时读入），单击选中要设置报警声音的地址。")}) +
           group(Groups::kAlarmSounds,
                 {
                     QStringLiteral(
                         "2、断网报警音：该地址所有Ping包都没有响应时播放的声音，单击输入框选择声音文件(*.WAV)。"),
                     QStringLiteral("3、质量太差报警音：该地址有丢包且线路质量低于设定值时播放的声音。"),
                     QStringLiteral("4、响应太慢报警音：该地址平均响应时间大于设定值时播放的声音。"),
                     more(QStringLiteral(
                         "按声音右边的按钮可试听，再按一次停止；没有选择声音时播放程序目录下的alarm.wav。")),
                     QStringLiteral("5、□设为默认报警声音：选中后，该地址的三种报警声音用作所有地址的报警声音。"),
                     QStringLiteral(
                         "6、□循环播放：选中后，报警声音循环播放，直到报警被清除（按\"取消\"或下次Ping开始）。"),
                 }) +
           group(
               Groups::kRecorder,
               {
                   QStringLiteral("7、文件名：要录制的声音文件名，不带扩展名，保存在程序目录下，扩展名为.wav。"),
                   QStringLiteral("8、清晰度：8位或16位；声道：单声道或双声道；频率：8000HZ至44100HZ。"),
                   more(QStringLiteral("大多数语音MODEM只接受单声道、8000HZ、16位的声音，供电话报警用时请选此格式。")),
                   QStringLiteral("9、录音方法：填好文件名、选好格式后按录音按钮，对着话筒说出报警内容，"),
                   more(QStringLiteral("再按一次停止并保存。录好的声音可在上面的报警声音中选用。")),
               }) +
           QStringList{kClosing};
}

QStringList phonePage()
{
    return QStringList{
               QStringLiteral("电话报警设置模块：为实现使用MODEM通过电话线进行语音报警的功能所需要的参数设定。")} +
           group(Groups::kPhoneList,
                 {QStringLiteral("1、报警电话列表：每行一个电话号码，只填数字，双击后可修改；报警时依次拨打。")}) +
           group(Groups::kPhoneSettings,
                 {
                     QStringLiteral("2、报警声音播放最长时间(分钟)：每个电话播放报警声音的最长时间，默认2分钟。"),
                     QStringLiteral(
                         "3、接收方按下[X]代表不继续拨号，[X]代表继续拨号，[X]代表重播报警音，[X]代表暂停/继续Ping："),
                     more(QStringLiteral("对方听到报警声音后按电话键控制报警，默认依次为0、1、2、3。")),
                     QStringLiteral("4、测试报警录音：单击选择测试用的声音文件，按\"通话测试\"依次拨打列表中的电话，按"
                                    "\"结束通话\"结束。"),
                     QStringLiteral("5、当前设备：电话报警所用的MODEM，按\"选择设备\"可另选；"),
                     more(QStringLiteral("报警声音须为MODEM支持的格式（一般为单声道、8000HZ、16位）。")),
                 }) +
           QStringList{kClosing};
}

QStringList mailPage()
{
    return QStringList{QStringLiteral(
               "邮件报警设置模块：为实现当网络出现故障时能够通过电子邮件发送报警信息的功能所需要的参数设定。")} +
           group(Groups::kRecipient,
                 {
                     QStringLiteral(
                         "1、收件人邮箱：接收报警邮件的邮箱，可填多个，以逗号或分号分隔；不填不能使用\"邮件报警\"。"),
                     more(QStringLiteral("报警邮件的内容为发送时提示信息中的全部内容。")),
                     QStringLiteral("2、发送测试邮件：发送一封测试邮件，检查邮件参数是否正确。"),
                 }) +
           group(Groups::kSender,
                 {
                     QStringLiteral("3、发件人邮箱、密码：发送报警邮件所用的邮箱及其密码，密码加密后保存。"),
                     QStringLiteral("4、发送服务器地址、端口：发件人邮箱的SMTP服务器及其端口，端口默认25。"),
                     QStringLiteral("5、□发送时需要身份验证：SMTP服务器要求登录时选中，默认选中。"),
                 }) +
           QStringList{kClosing};
}

QStringList networkPage()
{
    return QStringList{QStringLiteral(
               "网络报警设置模块：为实现当某网络出现故障时能够通过正常的网络发送报警信息的功能所需要的参数设定。")} +
           group(Groups::kReceiveWays,
                 {
                     QStringLiteral(
                         "1、□使用信使服务接收报警信息：通过信使服务向接收方发送报警信息，接收方须开启信使服务。"),
                     QStringLiteral("2、□使用本软件接收报警信息：以UDP方式发送报警信息，接收方须运行本软件。"),
                     QStringLiteral("3、发送测试信息：用以上两种方式向所有接收报警主机发送一条测试信息。"),
                 }) +
           group(Groups::kReceivers,
                 {
                     QStringLiteral("4、接收报警主机IP地址：每行一个IP地址，双击后可修改；"),
                     more(QStringLiteral("列表中的主机发来的报警信息不予处理，以免互相转发。")),
                 }) +
           group(Groups::kMessageFormat,
                 {
                     QStringLiteral(
                         "5、默认端口：收发报警信息的UDP端口，默认44444，各台机器须相同，重新启动程序后生效。"),
                     QStringLiteral("6、声音报警音：收到其它机器发来的报警信息时播放的声音，单击选择声音文件。"),
                     QStringLiteral(
                         "7、地址名称＋□报警类型＋□附加信息：报警信息由这几部分组成，附加信息填在下面的框中，"),
                     more(QStringLiteral("默认为\"请查找原因！谢谢！\"。")),
                 }) +
           QStringList{kClosing};
}

} // namespace

QString pageCaption(int pageIndex)
{
    static const QStringList kCaptions = {QStringLiteral("Ping参数设置"), QStringLiteral("声音报警设置"),
                                          QStringLiteral("电话报警设置"), QStringLiteral("邮件报警设置"),
                                          QStringLiteral("网络报警设置")};
    return pageIndex >= 0 && pageIndex < kCaptions.size() ? kCaptions[pageIndex] : QString();
}

QString titleLine(const QString& pageCaption)
{
    return QStringLiteral("使用说明 [") + pageCaption + u']';
}

QString divider(const QString& groupCaption)
{
    return QStringLiteral("＝＝＝＝") + groupCaption + QStringLiteral("＝＝＝＝");
}

QStringList section(int pageIndex)
{
    switch (pageIndex) {
    case 0:
        return pingPage();
    case 1:
        return soundPage();
    case 2:
        return phonePage();
    case 3:
        return mailPage();
    case 4:
        return networkPage();
    default:
        return {};
    }
}

QStringList linesFor(int pageIndex, const QString& pageCaption)
{
    return QStringList{titleLine(pageCaption)} + section(pageIndex);
}

} // namespace UsageText
