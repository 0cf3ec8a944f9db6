#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace qle {

// Hidden helper: a text written into txtSetupMachineType is handled exactly
// like an identification reply.
class frmProxy final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString txtSetupMachineType READ txtSetupMachineType WRITE setTxtSetupMachineType)
public:
    using Handler = std::function<void(const QString &)>;

    explicit frmProxy(Handler handler, QObject *parent = nullptr) : QObject(parent), m_handler(std::move(handler)) {}

    [[nodiscard]] QString txtSetupMachineType() const { return m_text; }
    void setTxtSetupMachineType(const QString &text)
    {
        if (text == m_text)
            return;
        m_text = text;
        if (m_handler)
            m_handler(text);
    }

private:
    Handler m_handler;
    QString m_text;
};

} // namespace qle
