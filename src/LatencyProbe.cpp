#include "LatencyProbe.h"

#include "Logger.h"

#include <QMutexLocker>
#include <QQuickWindow>

#include <chrono>

LatencyProbe::LatencyProbe(QObject *parent) : QObject(parent)
{
    LOG_INFO << "[LatencyProbe] Measuring result and start-up latency";
}

void LatencyProbe::attach(QQuickWindow *window)
{
    m_window = window;
    // Direct: the render thread must not wait for the GUI thread to note a frame.
    connect(window, &QQuickWindow::beforeSynchronizing, this, &LatencyProbe::onBeforeSynchronizing,
            Qt::DirectConnection);
    connect(window, &QQuickWindow::frameSwapped, this, &LatencyProbe::onFrameSwapped,
            Qt::DirectConnection);
}

bool LatencyProbe::requested()
{
    const QByteArray value = qgetenv("PERNIX_LATENCY_PROBE");
    return !value.isEmpty() && value != "0";
}

qint64 LatencyProbe::now()
{
    // steady_clock is CLOCK_MONOTONIC on Linux: the same clock in every process.
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void LatencyProbe::noteResult()
{
    mark(Result);
}

void LatencyProbe::noteScreen(const QString &screen)
{
    if (m_idleSeen || screen != QLatin1String("ScanScreens"))
        return;
    m_idleSeen = true;
    mark(Idle);
}

void LatencyProbe::mark(Kind kind)
{
    {
        QMutexLocker lock(&m_mutex);
        m_waiting.append({kind, now()});
    }
    // A result that looks like the one before changes nothing on the screen; its frame is
    // still the one that shows it.
    if (m_window)
        m_window->update();
}

void LatencyProbe::onBeforeSynchronizing()
{
    // The GUI thread is blocked while the scene is copied: what was marked is in this frame.
    QMutexLocker lock(&m_mutex);
    m_rendering += m_waiting;
    m_waiting.clear();
}

void LatencyProbe::onFrameSwapped()
{
    const qint64 presented = now();
    QVector<Mark> marks;
    if (!m_firstFrameSeen) {
        m_firstFrameSeen = true;
        marks.append({First, presented});
    }
    {
        QMutexLocker lock(&m_mutex);
        marks += m_rendering;
        m_rendering.clear();
    }
    if (marks.isEmpty())
        return;
    // The log belongs to the GUI thread.
    QMetaObject::invokeMethod(
        this, [this, marks, presented] { report(marks, presented); }, Qt::QueuedConnection);
}

void LatencyProbe::report(const QVector<Mark> &marks, qint64 presented)
{
    for (const Mark &mark : marks) {
        const QString what = mark.kind == Result ? QStringLiteral("Result to frame")
                             : mark.kind == Idle ? QStringLiteral("Idle frame")
                                                 : QStringLiteral("First frame");
        LOG_INFO << QStringLiteral("[LatencyProbe] %1 : %2 ms (marked=%3 presented=%4)")
                        .arg(what)
                        .arg((presented - mark.at) / 1000.0, 0, 'f', 3)
                        .arg(mark.at)
                        .arg(presented);
    }
}
