// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WidgetAccessible.h"

#include "ui/HistoryListAccessible.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

namespace {

// A button with nothing to read on it, named for assistive technology.
class NamedButton : public QAccessibleWidget
{
public:
    NamedButton(QWidget *button, QString name)
        : QAccessibleWidget(button, QAccessible::Button)
        , m_name(std::move(name))
    {
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? m_name : QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            static_cast<QAbstractButton *>(widget())->click();
    }

private:
    QString m_name;
};

} // namespace

QAccessibleInterface *widgetAccessible(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    // Qt's own name for the clear button that QLineEdit adds.
    if (className == QLatin1String("QLineEditIconButton"))
        return new NamedButton(widget, qtTrId("field.clear"));
    if (className == QLatin1String("QWidget") && widget->objectName() == QLatin1String("imageView"))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    // A plain widget made a window reads as a blank pane without this.
    if (className == QLatin1String("QWidget") && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

void installAccessibleFactories()
{
    static const bool installed = [] {
        QAccessible::installFactory(historyListAccessible);
        QAccessible::installFactory(widgetAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}
