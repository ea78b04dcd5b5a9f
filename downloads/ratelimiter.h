#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <limits>

// One budget of bytes per second for all the transfers that share it: a token bucket that
// refills with the time passed and, while transfers wait, hands them equal shares in turn.
// A change of the rate reaches running transfers at the next refill.
class RateLimiter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefillMs = 20;

    explicit RateLimiter(QObject *parent = nullptr);

    // Bytes per second; 0 or less for no limit.
    void setRate(qint64 bytesPerSecond);
    qint64 rate() const { return m_rate; }
    bool limited() const { return m_rate > 0; }

    // Grants up to wanted bytes now, all of them without a limit, and counts them as spent.
    qint64 take(qint64 wanted);
    // Counts bytes read past the grant (a reply's last buffer), which later refills pay back;
    // negative, gives back what a grant left unused.
    void charge(qint64 bytes);
    // resume is called once bytes are there again; a waiter already queued keeps its place.
    void waitTurn(QObject *waiter, std::function<void()> resume);

    // How much a transfer may hold unread: under a limit, a reply that has all its bytes ends
    // and hands over what it holds at once, past the limit.
    qint64 readBufferSize(qint64 unlimited) const;

    // "4M", "512K", "100000": bytes per second, K and M as powers of 1024; -1 when unreadable.
    static qint64 parseRate(const QString &text);

signals:
    void rateChanged();

private:
    struct Waiter
    {
        QPointer<QObject> object;
        std::function<void()> resume;
    };

    void refill();
    void serve();
    qint64 burst() const;

    qint64 m_rate = 0;
    double m_tokens = 0;
    qint64 m_share = std::numeric_limits<qint64>::max();
    bool m_serving = false;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QList<Waiter> m_waiters;
};
