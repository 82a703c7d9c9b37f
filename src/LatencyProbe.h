#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QVector>

class QQuickWindow;

// Measures what a passenger feels: from a validation result's arrival to the first frame on the
// display that shows it, and when the first frame of all and the first of the idle screen came. Off
// unless the environment variable PERNIX_LATENCY_PROBE is set (and not "0"); each figure is one log
// line, with the times on the system's monotonic clock (microseconds) so that a benchmark in
// another process can relate them to its own.
class LatencyProbe : public QObject
{
    Q_OBJECT

public:
    explicit LatencyProbe(QObject *parent = nullptr);

    // The window whose frames count; marks made before it comes wait for its first frame.
    void attach(QQuickWindow *window);

    // Whether the environment asks for the probe.
    static bool requested();
    // Microseconds on CLOCK_MONOTONIC, the clock of every figure.
    static qint64 now();

public slots:
    // A result has arrived: the next frame that takes in the scene as it is now shows it.
    void noteResult();
    // The screen shown has changed: the first time it is the idle screen, its first frame is
    // reported.
    void noteScreen(const QString &screen);

private:
    enum Kind { Result, Idle, First };
    struct Mark
    {
        Kind kind;
        qint64 at;
    };

    void mark(Kind kind);
    // On the render thread (or the GUI thread with the basic render loop).
    void onBeforeSynchronizing();
    void onFrameSwapped();
    void report(const QVector<Mark> &marks, qint64 presented);

    QPointer<QQuickWindow> m_window;
    bool m_idleSeen = false;
    // Set on the render thread by the first frame; read there only.
    bool m_firstFrameSeen = false;
    // Marks not yet taken into a frame, and those taken into the frame being rendered.
    QMutex m_mutex;
    QVector<Mark> m_waiting;
    QVector<Mark> m_rendering;
};
