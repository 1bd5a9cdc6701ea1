#pragma once

#include "kes_view/frame_assembler.h"
#include "kes_view/glyph_atlas.h"
#include "kes_view/range_measure.h"
#include "kes_view/true_value_measure.h"

#include <kes_sdk/scan_data.h>
#include <kes_workers/worker_pool.h>

#include <QMatrix4x4>
#include <QOpenGLFunctions_4_1_Core>
#include <QOpenGLWidget>
#include <QPoint>
#include <QString>
#include <QVector3D>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AccuracyInfo;
class ColorLabel;
class InfoWidget;
class LidarLogic;
class QOpenGLFunctions_1_0;
class QOpenGLShaderProgram;
class ResetWidget;
class logo;

// The point-cloud view: assembles scan blocks into frames, draws them over the polar grid,
// zooms and pans, shows the point under the mouse bearing in its status panel, and runs the
// production range test and true-value test over the frames.
class LidarGLWidget : public QOpenGLWidget, protected QOpenGLFunctions_4_1_Core, private PointSink {
    Q_OBJECT

public:
    explicit LidarGLWidget(QWidget* parent = nullptr);
    ~LidarGLWidget() override;

    // Draws text in world coordinates while painting; `scale` is metres per glyph pixel.
    void renderText(const std::string& text, float x, float y, float scale, const QVector3D& color);

    InfoWidget* infoWidget() const { return info_widget_; }
    ColorLabel* colorLabel() const { return color_label_; }
    ResetWidget* resetWidget() const { return reset_widget_; }
    AccuracyInfo* accuracyInfo() const { return accuracy_info_; }
    const RangeMeasure& rangeMeasure() const { return range_; }
    QString measureFileName() const { return file_name_; }
    float zoom() const { return zoom_; }
    float panX() const { return pan_x_; }
    float panY() const { return pan_y_; }
    float selectAngle() const { return select_angle_; }
    const FrameAssembler& frame() const { return frame_; }
    const std::vector<QVector3D>& drawVertices() const { return draw_vertices_; }
    const std::vector<QVector3D>& drawColors() const { return draw_colors_; }
    // False when the context lacks OpenGL 4.1 with the legacy functions; nothing is drawn then.
    bool glReady() const { return gl_ready_; }
    // Replaces the label font file; takes effect when the context is initialised.
    void setFontPath(const QString& path) { font_path_ = path; }

    void startMeasure(int max, int min, int round);
    void setSnCode(QString sn);

signals:
    void sig_update_res(bool isOk);
    void sig_update_cur_round(int round);
    void sig_update_screenshot(QString sn);
    void sig_true_cur_round(int round);
    void sig_true_status_changed(bool status);
    void sig_true_result();

public slots:
    void receieveTrueInfo();
    void createSNTrueDataFile();
    void receiveBlock(const kes_sdk::ScanBlockData& block);
    void receiveSingleBlock(const kes_sdk::ScanBlockData& block);
    void receieveDirChanged();
    void receiveColorMode(uint32_t mode);
    void receiveOpenFile();
    void receiveMotor(uint32_t motor);
    void receiveHV_Voltage(float voltage);
    void receiveAPD_temp(float temp);
    void receiveState(QString state);
    void setLanguage(int num);
    void setLogic(LidarLogic* logic);
    void zoomIn();
    void zoomOut();
    void recentre();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void point(float angle, float distance, float intensity, float x, float y) override;
    void endFrame();
    void publishFrame();
    void rangeEndOfFrame();
    void trueValueEndOfFrame();
    bool createSaveFile();
    void saveMeasureDataThread();

    bool checkContext();
    void createProgram();
    void createBuffers();
    void createGridBuffer();
    void setFlatColour(const QVector3D& colour);
    void drawPoints();
    void drawSelection();
    void drawScene();
    void drawGrid();
    void drawLabels();
    void placePanels();

    LidarLogic* logic_ = nullptr;

    FrameAssembler frame_;
    std::vector<QVector3D> draw_vertices_;
    std::vector<QVector3D> draw_colors_;
    uint32_t color_mode_ = 0;
    float select_angle_ = 0;
    SelectPoint select_point_;

    QOpenGLShaderProgram* program_ = nullptr;
    QOpenGLFunctions_1_0* legacy_ = nullptr;
    bool gl_ready_ = false;
    unsigned int vao_points_ = 0;
    unsigned int vbo_positions_ = 0;
    unsigned int vbo_colors_ = 0;
    unsigned int vao_text_ = 0;
    unsigned int vbo_text_ = 0;
    unsigned int vao_grid_ = 0;
    unsigned int vbo_grid_ = 0;
    std::map<char, Character> characters_;
    QString font_path_;

    QMatrix4x4 matrix_;
    QMatrix4x4 model_;
    QMatrix4x4 view_;
    QMatrix4x4 projection_;
    float zoom_ = 1.0f;
    float pan_x_ = 0;
    float pan_y_ = 0;
    float aspect_ = 1.0f;
    float move_scale_ = 0.001f;
    QPoint last_pos_;
    bool mouse_inside_ = false;

    InfoWidget* info_widget_;
    ColorLabel* color_label_;
    ResetWidget* reset_widget_;
    logo* logo_;
    AccuracyInfo* accuracy_info_;

    RangeMeasure range_;
    bool range_finished_ = false;
    TrueValueMeasure true_value_;
    QString sn_code_;
    QString file_name_;
    QString true_file_name_;
    // One file at a time; shared with the saving jobs, which hold nothing else of the view.
    const std::shared_ptr<std::mutex> save_mutex_ = std::make_shared<std::mutex>();
    WorkerPool save_jobs_{this};
};
