#include "ratelimiter.h"

#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

// Too small a grant costs a read call for a few bytes; waiters are served once this much is
// there for each of them, or a full bucket.
constexpr qint64 kMinShare = 4096;
constexpr qint64 kMinBurst = 16384;

} // namespace

RateLimiter::RateLimiter(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(kRefillMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RateLimiter::serve);
    m_clock.start();
}

void RateLimiter::setRate(qint64 bytesPerSecond)
{
    const qint64 rate = std::max<qint64>(0, bytesPerSecond);
    if (rate == m_rate)
        return;
    refill();
    m_rate = rate;
    m_tokens = std::min<double>(m_tokens, double(burst()));
    // Without a limit nobody waits any more.
    if (!limited()) {
        m_tokens = 0;
        serve();
    }
    emit rateChanged();
}

// A twentieth of a second's worth.
qint64 RateLimiter::readBufferSize(qint64 unlimited) const
{
    if (!limited())
        return unlimited;
    return std::min(unlimited, std::max(kMinShare * 4, m_rate / 20));
}

// A tenth of a second's worth: enough to keep a connection busy between two refills, small
// enough that a pause does not let a burst pass the limit.
qint64 RateLimiter::burst() const
{
    return std::max(m_rate / 10, kMinBurst);
}

void RateLimiter::refill()
{
    const qint64 elapsedNs = m_clock.nsecsElapsed();
    m_clock.start();
    if (!limited())
        return;
    m_tokens = std::min(m_tokens + double(m_rate) * double(elapsedNs) / 1e9, double(burst()));
}

qint64 RateLimiter::take(qint64 wanted)
{
    if (wanted <= 0)
        return 0;
    if (!limited())
        return wanted;
    // Nobody passes those waiting for their turn.
    if (!m_serving && !m_waiters.isEmpty())
        return 0;
    refill();
    const qint64 granted = std::max<qint64>(0, std::min({wanted, qint64(m_tokens), m_share}));
    m_tokens -= double(granted);
    return granted;
}

void RateLimiter::charge(qint64 bytes)
{
    if (limited())
        m_tokens -= double(bytes);
}

void RateLimiter::waitTurn(QObject *waiter, std::function<void()> resume)
{
    for (const Waiter &queued : qAsConst(m_waiters)) {
        if (queued.object == waiter)
            return;
    }
    m_waiters.append({waiter, std::move(resume)});
    if (!m_timer.isActive())
        m_timer.start();
}

// Each waiter of this turn gets an equal share; one that wants more queues again behind the
// others.
void RateLimiter::serve()
{
    refill();
    const int count = m_waiters.size();
    if (count == 0) {
        m_timer.stop();
        return;
    }
    if (limited() && m_tokens < double(std::min(kMinShare * count, burst())))
        return;
    const QList<Waiter> turn = std::exchange(m_waiters, {});
    if (limited())
        m_share = std::max<qint64>(1, qint64(m_tokens) / count);
    m_serving = true;
    for (const Waiter &waiter : turn) {
        if (waiter.object)
            waiter.resume();
    }
    m_serving = false;
    m_share = std::numeric_limits<qint64>::max();
    if (m_waiters.isEmpty())
        m_timer.stop();
}

qint64 RateLimiter::parseRate(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([kKmM]?)(?:i?B)?(?:/s)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return -1;
    bool ok = false;
    const double number = match.captured(1).toDouble(&ok);
    const QString unit = match.captured(2).toUpper();
    const double factor = unit == QLatin1String("M") ? 1024.0 * 1024.0 : unit == QLatin1String("K") ? 1024.0 : 1.0;
    const double bytes = number * factor;
    if (!ok || bytes > 1e15)
        return -1;
    return qint64(bytes);
}
