#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QTimer>

namespace korvane {

// Runs korvane-preview-render on a cached file for one page and hands back the page, without
// waiting: its end arrives as rendered or refused. A decode that outlives the time bound is
// killed; a crash, a refusal or a malformed answer are all "cannot be shown".
class PageRenderer : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeLimitMs = 15000;

    explicit PageRenderer(QObject* parent = nullptr);
    ~PageRenderer() override;

    // $KORVANE_PREVIEW_RENDER, else the helper beside the program, else where the package
    // installs it.
    static QString HelperPath();

    void SetTimeLimitMs(int ms) { timeLimitMs_ = ms; }
    // Decodes page (from 0) of file at width pixels (PDF pages; images come as they are, within
    // the helper's bound). A render still running is dropped.
    void Render(const QString& file, int page, int width);
    void Stop();
    bool Running() const { return process_ != nullptr; }

signals:
    // page and pages as the file has them (a page past the end comes as the last).
    void rendered(const QImage& image, int page, int pages);
    void refused(const QString& reason);

private:
    void Ended(int exitCode, QProcess::ExitStatus status);
    void TimedOut();
    // The page of the helper's answer; null when it is not well formed.
    static QImage Parse(const QByteArray& answer, int* page, int* pages);

    QPointer<QProcess> process_;
    QTimer bound_;
    int timeLimitMs_ = kDefaultTimeLimitMs;
};

}  // namespace korvane
