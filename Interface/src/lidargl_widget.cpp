#include "kes_view/lidargl_widget.h"

#include "kes_view/view_camera.h"

#include <kes_measure/accuracy_info.h>
#include <kes_panels/color_label.h>
#include <kes_panels/info_widget.h>
#include <kes_panels/logo_widget.h>
#include <kes_panels/reset_widget.h>

#include <QDebug>
#include <QMouseEvent>
#include <QOpenGLShaderProgram>
#include <QTextCodec>
#include <QWheelEvent>

#include <mutex>

namespace {

// The frame lock: held by receiveBlock from its first step to the end of its repaint.
std::mutex frame_mutex;

// A saving job writes a few thousand rows; one still running after this finishes on its own.
constexpr int kSaveBoundMs = 10000;

bool dragButtons(Qt::MouseButtons buttons)
{
    return buttons == Qt::LeftButton || buttons == Qt::MiddleButton;
}

} // namespace

LidarGLWidget::LidarGLWidget(QWidget* parent)
    : QOpenGLWidget(parent),
      font_path_(viewFontPath()),
      info_widget_(new InfoWidget(this)),
      color_label_(new ColorLabel(this)),
      reset_widget_(new ResetWidget(this)),
      logo_(new logo(this)),
      accuracy_info_(new AccuracyInfo())
{
    setMouseTracking(true);
    connect(reset_widget_, &ResetWidget::amplify, this, &LidarGLWidget::zoomIn);
    connect(reset_widget_, &ResetWidget::narrow, this, &LidarGLWidget::zoomOut);
    connect(reset_widget_, &ResetWidget::reset, this, &LidarGLWidget::recentre);
    placePanels();
}

LidarGLWidget::~LidarGLWidget()
{
    if (!save_jobs_.closeAndWait(kSaveBoundMs))
        qWarning() << "measure data still being saved";
    delete accuracy_info_;
    makeCurrent();
    delete program_;
    doneCurrent();
}

void LidarGLWidget::receiveBlock(const kes_sdk::ScanBlockData& block)
{
    std::lock_guard<std::mutex> lock(frame_mutex);
    range_.clearFrame();
    range_finished_ = false;
    PointSink* sink = range_.measuring_ || true_value_.true_measuring_ ? this : nullptr;
    const bool closes = frame_.receiveBlock(block, color_mode_, select_angle_, select_point_, sink);
    if (range_finished_)
        emit sig_update_res(true);
    if (closes)
        endFrame();
}

void LidarGLWidget::receiveSingleBlock(const kes_sdk::ScanBlockData& block)
{
    frame_.clearBlocks();
    receiveBlock(block);
}

void LidarGLWidget::receieveDirChanged()
{
    draw_vertices_.clear();
}

void LidarGLWidget::receiveColorMode(uint32_t mode)
{
    color_mode_ = mode;
    color_label_->setMode(static_cast<uint8_t>(mode & 0xFFu));
}

void LidarGLWidget::receiveOpenFile()
{
    update();
}

void LidarGLWidget::receiveMotor(uint32_t motor)
{
    info_widget_->setFreq(QString::number(motor / 60.0, 'f', 1) + "Hz");
}

void LidarGLWidget::receiveHV_Voltage(float voltage)
{
    info_widget_->setVoltage(QString::number(voltage, 'g', 6) + "V");
}

void LidarGLWidget::receiveAPD_temp(float temp)
{
    info_widget_->setTemp(QString::number(temp, 'f', 0) + "℃");
}

void LidarGLWidget::receiveState(QString state)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    info_widget_->setState(state == "active" ? QString("NORAML") : state);
}

void LidarGLWidget::setLanguage(int num)
{
    info_widget_->setLanguage(num);
}

void LidarGLWidget::setLogic(LidarLogic* logic)
{
    logic_ = logic;
}

void LidarGLWidget::zoomIn()
{
    zoom_ = view_camera::zoomedIn(zoom_);
    update();
}

void LidarGLWidget::zoomOut()
{
    zoom_ = view_camera::zoomedOut(zoom_);
    update();
}

void LidarGLWidget::recentre()
{
    pan_x_ = 0;
    pan_y_ = 0;
    update();
}

void LidarGLWidget::mousePressEvent(QMouseEvent* event)
{
    if (dragButtons(event->buttons()))
        last_pos_ = event->pos();
}

void LidarGLWidget::mouseReleaseEvent(QMouseEvent*) {}

void LidarGLWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF world =
        view_camera::planePoint(event->localPos(), size(), projection_, view_, pan_x_, pan_y_, zoom_);
    select_angle_ = view_camera::bearing(world.x(), world.y());
    if (!dragButtons(event->buttons()))
        return;
    const QPoint pos = event->pos();
    const int dx = pos.x() - last_pos_.x();
    const int dy = last_pos_.y() - pos.y();
    last_pos_ = pos;
    pan_x_ -= float(dx) * zoom_ * move_scale_;
    pan_y_ -= float(dy) * zoom_ * move_scale_;
    update();
}

void LidarGLWidget::wheelEvent(QWheelEvent* event)
{
    if (event->angleDelta().y() >= 1)
        zoomIn();
    else
        zoomOut();
    QOpenGLWidget::wheelEvent(event);
}

void LidarGLWidget::enterEvent(QEvent*)
{
    mouse_inside_ = true;
}

void LidarGLWidget::leaveEvent(QEvent*)
{
    mouse_inside_ = false;
}

void LidarGLWidget::resizeEvent(QResizeEvent* event)
{
    placePanels();
    QOpenGLWidget::resizeEvent(event);
}

void LidarGLWidget::placePanels()
{
    info_widget_->move(0, height() - info_widget_->height());
    color_label_->move(width() - color_label_->width(), height() - 100 - color_label_->height());
    logo_->move(width() - logo_->width(), height() - logo_->height());
    reset_widget_->move(0, 0);
    for (QWidget* panel : {static_cast<QWidget*>(info_widget_), static_cast<QWidget*>(color_label_),
                           static_cast<QWidget*>(logo_), static_cast<QWidget*>(reset_widget_)})
        panel->raise();
}
