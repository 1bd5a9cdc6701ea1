#include "icon_painter.h"

#include "icon_shapes.h"

#include <QPainter>

std::vector<IconRecipe> iconRecipes()
{
    using namespace icon;
    const int s = 64;
    return {
        {"connect", s, s, drawConnect},
        {"disconnect", s, s, drawDisconnect},
        {"state", s, s, drawStateIdle},
        {"state_connect", s, s, drawStateConnected},
        {"english", s, s, drawEnglish},
        {"chinese", s, s, drawChinese},
        {"amplify", s, s, drawAmplify},
        {"narrow", s, s, drawNarrow},
        {"reset", s, s, drawReset},
        {"color", 21, 254, drawColorBar},
        {"logo", s, s, drawLogo},
        {"logo-03", 170, 30, drawWordmark},
        {"record", s, s, drawRecord},
        {"stop_record", s, s, drawStopRecord},
        {"open", s, s, drawOpen},
        {"interception", s, s, drawInterception},
        {"start_frame", s, s, drawStartFrame},
        {"pre_frame", s, s, drawPreFrame},
        {"play", s, s, drawPlay},
        {"suspend", s, s, drawSuspend},
        {"next_frame", s, s, drawNextFrame},
        {"end_frame", s, s, drawEndFrame},
    };
}

QImage renderIcon(const IconRecipe& recipe)
{
    QImage image(recipe.width, recipe.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    recipe.draw(painter, recipe.width, recipe.height);
    return image;
}
