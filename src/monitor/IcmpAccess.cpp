#include "monitor/IcmpAccess.h"

#include "platform/IcmpSocket.h"
#include "platform/SocketError.h"

std::optional<QString> IcmpAccess::startupNotice(const QString& executablePath)
{
    int error = 0;
    if (IcmpSocket::open(IcmpSocket::Mode::RawThenDatagram, &error))
        return std::nullopt;
    return noticeText(executablePath, SocketError::fromSystem(error).text());
}

QString IcmpAccess::noticeText(const QString& executablePath, const QString& reason)
{
    return QStringLiteral("无法打开ICMP套接字（%1），所有地址都将显示为不通。"
                          "请以root运行，或授予本程序权限：sudo setcap cap_net_raw+ep '%2'，"
                          "或允许本用户的组使用ICMP：sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"")
        .arg(reason, executablePath);
}
