#include "sound/AlarmSounds.h"

#include "monitor/SettingsStore.h"
#include "shared/AlarmKind.h"

#include <QDir>
#include <QFileInfo>

AlarmSounds::AlarmSounds(Mply& player, SettingsStore& settings, QString dataDir, Host host)
    : m_player(player)
    , m_settings(settings)
    , m_dataDir(std::move(dataDir))
    , m_host(std::move(host))
{
    connect(&m_player, &Mply::notify, this, &AlarmSounds::MplyNotify);
}

QString AlarmSounds::cannotPlayLine(const QString& path, const QString& reason)
{
    return QStringLiteral("声音文件\"%1\"无法播放：%2").arg(path, reason);
}

QString AlarmSounds::playFailedLine(const QString& path)
{
    return QStringLiteral("声音文件\"%1\"播放中断：声音设备出错").arg(path);
}

QString AlarmSounds::fallbackPath() const
{
    return QDir(m_dataDir).filePath(fallbackName());
}

QString AlarmSounds::soundFor(int code, const QString& entryKey) const
{
    QString key = entryKey;
    const QString defaultKey = m_settings.read(QStringLiteral("SndPara"), QStringLiteral("DefSD")).trimmed();
    if (!defaultKey.isEmpty())
        key = defaultKey;
    switch (code) {
    case int(AlarmKind::Break):
        return m_settings.read(QStringLiteral("Break"), key);
    case int(AlarmKind::Bad):
        return m_settings.read(QStringLiteral("Bad"), key);
    case int(AlarmKind::Slow):
        return m_settings.read(QStringLiteral("Slow"), key);
    case int(AlarmKind::Remote):
        return m_host.networkAlarmSound ? m_host.networkAlarmSound() : QString();
    case int(AlarmKind::CallTest):
        return m_host.testCallSound ? m_host.testCallSound() : QString();
    default:
        return {};
    }
}

bool AlarmSounds::PlayAlarmSound(int code, const QString& entryKey)
{
    if (code <= 0)
        return false;
    QString path = soundFor(code, entryKey);
    if (path.isEmpty()) {
        if (!QFileInfo(fallbackPath()).isFile()) {
            m_host.addInfo(noSoundLine());
            return false;
        }
        path = fallbackPath();
    }
    // A received alarm's sound is listed once: a flood of them would otherwise play it for hours.
    if (code != int(AlarmKind::Remote) || !m_list.contains(path))
        m_list.append(path);
    if (m_player.mode() != Mply::Mode::Playing)
        return tryPlay(path);
    return true; // played after the one playing now
}

void AlarmSounds::PlaySoundFile(const QString& path)
{
    m_player.open(path);
    m_player.play();
}

bool AlarmSounds::tryPlay(const QString& path)
{
    try {
        PlaySoundFile(path);
        return true;
    } catch (const SoundFileError& e) {
        if (!m_unplayable.contains(path)) {
            m_unplayable.insert(path);
            m_host.addInfo(cannotPlayLine(path, e.reason()));
        }
        return false;
    }
}

void AlarmSounds::StopSound()
{
    if (m_player.mode() == Mply::Mode::Playing)
        m_player.stop();
    m_player.close();
}

void AlarmSounds::MplyNotify(Mply::Notify code)
{
    if (code == Mply::Notify::Failure)
        m_host.addInfo(playFailedLine(m_player.fileName()));
    if (code != Mply::Notify::Successful)
        return;
    if (m_host.endPreviews)
        m_host.endPreviews();
    if (m_settings.read(QStringLiteral("SndPara"), QStringLiteral("Repeat"), QStringLiteral("0")) != QLatin1String("1"))
        return;
    // The next sound of the list, from the first again after the last; files that cannot be
    // played are passed over, and when none can, the repetition ends.
    for (qsizetype tries = 0; tries < m_list.size(); ++tries) {
        m_index = m_index >= m_list.size() - 1 ? 0 : m_index + 1;
        const QString& path = m_list.at(m_index);
        if (!m_unplayable.contains(path) && tryPlay(path))
            return;
    }
}

void AlarmSounds::clearSoundList()
{
    m_list.clear();
    m_unplayable.clear();
}
