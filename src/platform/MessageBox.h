#pragma once

#include <QString>

namespace qle {

// Modal message boxes, as the program shows them to the user. Tests install a
// scripted implementation so that no test ever waits on a real box.
class IMessageBox {
public:
    enum class Buttons { Ok, YesNo, OkCancel };
    enum class Icon { None, Information, Critical, Question, Exclamation };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~IMessageBox() = default;
    virtual Answer show(const QString &text, const QString &title, Buttons buttons, Icon icon) = 0;
};

} // namespace qle
