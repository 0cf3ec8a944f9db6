#pragma once

#include <QSize>

#include <optional>

class QWidget;

namespace qle {

// Asks for the size of a saved graph picture, offering `offered` (the graph
// on screen). Nothing when the user cancels.
std::optional<QSize> askImageSize(QSize offered, QWidget *parent);

} // namespace qle
