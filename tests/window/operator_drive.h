#pragma once

#include <kes_test/prompt_script.h>

#include <QString>

class MainWindow;

// The README's road to live data: connect with an empty address field, confirm the "not
// found" box, type the address; true when the field holds it.
bool enterAddressLikeAnOperator(MainWindow& window, kes_test::PromptScript& boxes, const QString& address);
// Then connect again; true once the lidar is connected.
bool clickConnect(MainWindow& window);
