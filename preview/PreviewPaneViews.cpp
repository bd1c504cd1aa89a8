#include "PreviewPaneViews.h"

#include <QLabel>
#include <QPixmap>
#include <QScrollBar>
#include <QTransform>

#include "Translate.h"

namespace korvane {

namespace {
constexpr double kMinZoom = 0.1;
constexpr double kMaxZoom = 8.0;
}  // namespace

PageView::PageView(QWidget* parent) : QScrollArea(parent), label_(new QLabel) {
    label_->setAlignment(Qt::AlignCenter);
    label_->setAccessibleName(Tr("korvane", "预览页面"));
    setWidget(label_);
    setWidgetResizable(false);
    setAlignment(Qt::AlignCenter);
    setBackgroundRole(QPalette::Dark);
    setAccessibleName(Tr("korvane", "预览页面"));
    setFocusPolicy(Qt::StrongFocus);
}

void PageView::SetImage(const QImage& image) {
    image_ = image;
    Update();
}

void PageView::Clear() {
    image_ = QImage();
    Update();
}

void PageView::ZoomBy(double factor) {
    zoom_ = qBound(kMinZoom, zoom_ * factor, kMaxZoom);
    fit_ = false;
    Update();
}

void PageView::FitWidth() {
    fit_ = true;
    Update();
}

void PageView::Rotate() {
    quarters_ = (quarters_ + 1) % 4;
    Update();
}

QImage PageView::Drawn() const {
    if (image_.isNull()) {
        return image_;
    }
    const QImage turned = image_.transformed(QTransform().rotate(90.0 * quarters_));
    const QSize size = (QSizeF(turned.size()) * zoom_).toSize().expandedTo(QSize(1, 1));
    return turned.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void PageView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    if (fit_) {
        Update();
    }
}

void PageView::Update() {
    if (image_.isNull()) {
        label_->clear();
        label_->resize(0, 0);
        return;
    }
    if (fit_) {
        const int across = quarters_ % 2 == 0 ? image_.width() : image_.height();
        const int room = viewport()->width() - 2 * label_->margin();
        zoom_ = qBound(kMinZoom, static_cast<double>(qMax(room, 32)) / across, kMaxZoom);
    }
    label_->setPixmap(QPixmap::fromImage(Drawn()));
    label_->adjustSize();
}

}  // namespace korvane
