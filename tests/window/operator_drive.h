#pragma once

#include <kes_test/prompt_script.h>

#include <QString>

class MainWindow;

// The README's road to live data: connect with an empty address field, confirm the "not
// found" box, type the address, connect again. True once the lidar is connected.
bool connectLikeAnOperator(MainWindow& window, kes_test::PromptScript& boxes, const QString& address);
// Its first half, up to the typed address; true when the field holds it.
bool enterAddressLikeAnOperator(MainWindow& window, kes_test::PromptScript& boxes, const QString& address);
// Its last step: clicks connect; true once the lidar is connected.
bool clickConnect(MainWindow& window);

// Clicks the view's zoom-out button until the simulator's room (walls 2 to 5 m) fits.
void zoomOutToTheRoom(MainWindow& window);
