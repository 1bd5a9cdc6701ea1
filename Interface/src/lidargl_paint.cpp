#include "kes_view/lidargl_widget.h"

#include "grid_geometry.h"
#include "kes_view/view_camera.h"

#include <kes_panels/info_widget.h>

#include <QDebug>
#include <QOpenGLContext>
#include <QOpenGLFunctions_1_0>
#include <QOpenGLShaderProgram>

namespace {

constexpr int kTextQuadBytes = 6 * 4 * int(sizeof(float));

} // namespace

// The grid is drawn with begin/end, which exists only in a compatibility context.
bool LidarGLWidget::checkContext()
{
    const QSurfaceFormat format = context()->format();
    const bool modern = format.version() >= qMakePair(4, 1);
    const bool compatible = format.profile() == QSurfaceFormat::CompatibilityProfile;
    if (modern && compatible && initializeOpenGLFunctions())
        legacy_ = context()->versionFunctions<QOpenGLFunctions_1_0>();
    if (legacy_ && legacy_->initializeOpenGLFunctions())
        return true;
    legacy_ = nullptr;
    qDebug() << "OpenGL 4.1 compatibility profile context required, got" << format.majorVersion()
             << format.minorVersion() << (compatible ? "compatibility" : "core") << "profile: nothing is drawn";
    return false;
}

void LidarGLWidget::initializeGL()
{
    gl_ready_ = checkContext();
    if (!gl_ready_)
        return;
    characters_ = loadGlyphs(*this, font_path_);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    createProgram();
    createBuffers();
}

void LidarGLWidget::createProgram()
{
    delete program_;
    program_ = new QOpenGLShaderProgram(this);
    program_->addShaderFromSourceFile(QOpenGLShader::Vertex, ":/Shader/lider.vert");
    program_->addShaderFromSourceFile(QOpenGLShader::Fragment, ":/Shader/lider.frag");
    program_->link();
}

void LidarGLWidget::createBuffers()
{
    glGenVertexArrays(1, &vao_points_);
    glGenBuffers(1, &vbo_positions_);
    glGenBuffers(1, &vbo_colors_);
    glGenVertexArrays(1, &vao_text_);
    glGenBuffers(1, &vbo_text_);
    glBindVertexArray(vao_text_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_text_);
    glBufferData(GL_ARRAY_BUFFER, kTextQuadBytes, nullptr, GL_DYNAMIC_DRAW);
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glEnableVertexAttribArray(2);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    createGridBuffer();
}

void LidarGLWidget::resizeGL(int w, int h)
{
    if (gl_ready_)
        glViewport(0, 0, w, h);
    aspect_ = float(w) / float(h == 0 ? 1 : h);
}

void LidarGLWidget::paintGL()
{
    if (!gl_ready_)
        return;
    // Cleared every paint: every vertex lies at z = 0 under GL_LESS.
    glClearColor(0.3f, 0.3f, 0.3f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    program_->bind();
    matrix_.setToIdentity();
    model_.setToIdentity();
    projection_ = view_camera::projection(aspect_);
    view_ = view_camera::lookDown(pan_x_, pan_y_, zoom_);
    program_->setUniformValue("matrix", matrix_);
    program_->setUniformValue("model", model_);
    program_->setUniformValue("view", view_);
    program_->setUniformValue("projection", projection_);
    drawPoints();
    drawSelection();
    drawScene();
    program_->release();
}

void LidarGLWidget::setFlatColour(const QVector3D& colour)
{
    program_->setUniformValue("flag", GLint(1));
    program_->setUniformValue("vertexColor", colour);
    program_->setUniformValue("vertex_type", GLint(0));
}

void LidarGLWidget::drawPoints()
{
    glPointSize(2.0f);
    program_->setUniformValue("flag", GLint(0));
    program_->setUniformValue("vertex_type", GLint(0));
    if (draw_vertices_.empty())
        return;
    const auto count = GLsizei(draw_vertices_.size());
    glBindVertexArray(vao_points_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_positions_);
    glBufferData(GL_ARRAY_BUFFER, count * GLsizeiptr(sizeof(QVector3D)), draw_vertices_.data(), GL_DYNAMIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(QVector3D), nullptr);
    glEnableVertexAttribArray(0);
    // Colours are published with their positions; never let the draw read past them.
    if (draw_colors_.size() == draw_vertices_.size()) {
        glBindBuffer(GL_ARRAY_BUFFER, vbo_colors_);
        glBufferData(GL_ARRAY_BUFFER, count * GLsizeiptr(sizeof(QVector3D)), draw_colors_.data(), GL_DYNAMIC_DRAW);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(QVector3D), nullptr);
        glEnableVertexAttribArray(1);
    } else {
        glDisableVertexAttribArray(1);
    }
    glDrawArrays(GL_POINTS, 0, count);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void LidarGLWidget::drawSelection()
{
    if (!select_point_.found || !mouse_inside_) {
        info_widget_->setAngle("--");
        info_widget_->setIntensity("--");
        info_widget_->setDistance("--");
        return;
    }
    setFlatColour(QVector3D(1, 1, 0));
    legacy_->glBegin(GL_LINES);
    legacy_->glVertex2f(0, 0);
    legacy_->glVertex2f(select_point_.x, select_point_.y);
    legacy_->glEnd();
    info_widget_->setAngle(QString::number(select_point_.angle, 'f', 2) + "°");
    info_widget_->setIntensity(QString::number(select_point_.intensity, 'g', 6));
    info_widget_->setDistance(QString::number(select_point_.distance, 'f', 2) + "m");
    select_point_.found = false;
}

void LidarGLWidget::drawScene()
{
    drawGrid();
    drawLabels();
}

// Drawn from one buffer built at start-up: lines, 51 rings, then the fan, as laid out there.
void LidarGLWidget::drawGrid()
{
    const GridGeometry& grid = gridGeometry();
    glBindVertexArray(vao_grid_);
    setFlatColour(kGridWhite);
    glDrawArrays(GL_LINES, 0, GLsizei(grid.lines.size()));
    GLint first = GLint(grid.lines.size());
    for (int r = 0; r < kRingCount; ++r, first += kRingVertices) {
        program_->setUniformValue("vertexColor", grid.colours[size_t(r)]);
        glDrawArrays(GL_LINE_LOOP, first, kRingVertices);
    }
    program_->setUniformValue("vertexColor", kBlindGrey);
    glDrawArrays(GL_TRIANGLE_FAN, first, GLsizei(grid.fan.size()));
    glBindVertexArray(0);
}

void LidarGLWidget::createGridBuffer()
{
    const GridGeometry& grid = gridGeometry();
    std::vector<QVector3D> all(grid.lines);
    all.insert(all.end(), grid.rings.begin(), grid.rings.end());
    all.insert(all.end(), grid.fan.begin(), grid.fan.end());
    glGenVertexArrays(1, &vao_grid_);
    glGenBuffers(1, &vbo_grid_);
    glBindVertexArray(vao_grid_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_grid_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(all.size() * sizeof(QVector3D)), all.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(QVector3D), nullptr);
    glEnableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void LidarGLWidget::drawLabels()
{
    const float scale = zoom_ * move_scale_ * view_camera::labelScaleFactor(zoom_);
    for (const GridLabel& label : gridLabels())
        renderText(label.text, label.x, label.y, scale, kLabelGrey);
}

void LidarGLWidget::renderText(const std::string& text, float x, float y, float scale, const QVector3D& color)
{
    if (!gl_ready_)
        return;
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(vao_text_);
    program_->setUniformValue("flag", GLint(1));
    program_->setUniformValue("vertexColor", color);
    program_->setUniformValue("vertex_type", GLint(1));
    for (const char c : text) {
        const Character& glyph = characters_[c];
        const std::array<float, 24> quad = glyphQuad(glyph, x, y, scale);
        glBindTexture(GL_TEXTURE_2D, glyph.texture);
        glBindBuffer(GL_ARRAY_BUFFER, vbo_text_);
        glBufferSubData(GL_ARRAY_BUFFER, 0, kTextQuadBytes, quad.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        x += glyphAdvance(glyph, scale);
    }
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}
