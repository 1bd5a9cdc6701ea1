#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

// One picture of the resources: its file name, pixel size and how to draw it.
struct IconRecipe {
    QString name;
    int width;
    int height;
    std::function<void(QPainter&, int w, int h)> draw;
};

// Every picture the view, the panels and the tool bars load from ":/Image".
std::vector<IconRecipe> iconRecipes();

QImage renderIcon(const IconRecipe& recipe);
