#pragma once

class QPainter;

// The drawings, all on a 64-unit square (the colour bar and the wordmark use their own size).
namespace icon {

void drawConnect(QPainter& p, int w, int h);
void drawDisconnect(QPainter& p, int w, int h);
void drawStateIdle(QPainter& p, int w, int h);
void drawStateConnected(QPainter& p, int w, int h);
void drawEnglish(QPainter& p, int w, int h);
void drawChinese(QPainter& p, int w, int h);
void drawAmplify(QPainter& p, int w, int h);
void drawNarrow(QPainter& p, int w, int h);
void drawReset(QPainter& p, int w, int h);
void drawColorBar(QPainter& p, int w, int h);
void drawLogo(QPainter& p, int w, int h);
void drawWordmark(QPainter& p, int w, int h);
void drawRecord(QPainter& p, int w, int h);
void drawStopRecord(QPainter& p, int w, int h);
void drawOpen(QPainter& p, int w, int h);
void drawInterception(QPainter& p, int w, int h);
void drawStartFrame(QPainter& p, int w, int h);
void drawPreFrame(QPainter& p, int w, int h);
void drawPlay(QPainter& p, int w, int h);
void drawSuspend(QPainter& p, int w, int h);
void drawNextFrame(QPainter& p, int w, int h);
void drawEndFrame(QPainter& p, int w, int h);

} // namespace icon
