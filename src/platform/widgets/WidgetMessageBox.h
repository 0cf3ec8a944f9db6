#pragma once

#include "platform/MessageBox.h"

class QWidget;

namespace qle {

// QMessageBox behind the program's message-box interface.
class WidgetMessageBox final : public IMessageBox {
public:
    explicit WidgetMessageBox(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    Answer show(const QString &text, const QString &title, Buttons buttons, Icon icon) override;

private:
    QWidget *m_parent;
};

} // namespace qle
