#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

// A telephone line as the line device sees it. The line device holds the state machine of a call;
// a provider turns its requests into what the line speaks (AT commands for a voice modem) and reports
// back call states, keys and the progress of the sound, all on the user-interface thread.
class LineProvider : public QObject {
    Q_OBJECT
public:
    struct Line {
        QString name;
        bool voice = false; // automated voice (a class 8 modem)
        bool data = false;  // data modem
    };

    using QObject::QObject;

    // The lines there are now (found afresh by each call).
    virtual QList<Line> lines() = 0;

    // What dial() gets for a number of the telephone list; empty, with `error` set, when the line cannot
    // dial it. A telephone line takes digits and dial modifiers and refuses a SIP address.
    virtual QByteArray dialString(const QString& number, QString* error) const;
    // Whether an entry of the telephone list is a SIP address ("sip:" or "sips:").
    static bool isSipAddress(const QString& number);

    // Takes the line for calls; throws TapiError when it cannot (held by another program, cannot be
    // opened, not answering, no voice while `voice` is asked for). Waits pump the message loop.
    virtual void open(const QString& name, bool voice) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Asynchronous requests. dial() and drop() end with one replied(result): 0 when the line accepted it,
    // a negative error code otherwise; a dropped call ends with callState(idle). Tones have no reply.
    virtual void dial(const QByteArray& dialString) = 0;
    virtual void drop() = 0;
    virtual void sendDigits(const QByteArray& toneList) = 0;

    // The state of the call (a CallStates value), idle without one.
    virtual quint32 callState() const = 0;

    // Sound into the call, 8000 Hz mono 16-bit samples, which the provider converts into what the line
    // takes. canPlay() tells whether it can be fed at all; beginAudio() ends with audioOpened() or
    // audioEnded(); each writeAudio() with audioDrained() once the samples have left; endAudio() plays
    // out what is queued and abortAudio() discards it, both ending with audioEnded().
    virtual bool canPlay() const = 0;
    virtual void beginAudio() = 0;
    virtual void writeAudio(const QVector<qint16>& samples) = 0;
    virtual void endAudio() = 0;
    virtual void abortAudio() = 0;

protected:
    // The answer to a drop() on a line that is not open: there is no call, so it is idle at once.
    void answerDropOnClosedLine();

signals:
    void replied(int result);
    void callStateChanged(quint32 state, quint32 detail);
    void keyPressed(char key);
    // The line went away under the call (the modem unplugged, stopped answering): `reason` says why.
    void lineClosed(const QString& reason);
    void audioOpened();
    void audioDrained();
    void audioEnded();
};
