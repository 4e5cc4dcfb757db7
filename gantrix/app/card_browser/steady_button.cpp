#include "gantrix/app/card_browser/steady_button.h"

#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

SteadyButton::SteadyButton(const QStringList& texts, QWidget* parent)
    : QPushButton(texts.value(0), parent), texts_(texts) {}

// QPushButton's own hint for each text, the widest of them.
QSize SteadyButton::sizeHint() const {
    QSize hint = QPushButton::sizeHint();
    QStyleOptionButton option;
    initStyleOption(&option);
    for (const QString& text : texts_) {
        option.text = text;
        const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text);
        const QSize size =
            style()->sizeFromContents(QStyle::CT_PushButton, &option, textSize, this);
        hint = hint.expandedTo(size);
    }
    return hint;
}
