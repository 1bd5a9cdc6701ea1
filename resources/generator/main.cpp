#include "chime.h"
#include "icon_painter.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdio>

// Usage: kes_resgen OUTPUT_DIR FONT_FILE. Writes Image/*.png and Sound/Windows Ding.wav.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR FONT_FILE\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QFontDatabase::addApplicationFont(QString::fromLocal8Bit(argv[2]));
    if (!out.mkpath("Image") || !out.mkpath("Sound"))
        return 1;
    for (const IconRecipe& recipe : iconRecipes()) {
        if (!renderIcon(recipe).save(out.filePath("Image/" + recipe.name + ".png"), "PNG"))
            return 1;
    }
    QFile wav(out.filePath("Sound/Windows Ding.wav"));
    if (!wav.open(QIODevice::WriteOnly) || wav.write(chimeWav()) < 0)
        return 1;
    return 0;
}
