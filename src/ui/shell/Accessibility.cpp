#include "Accessibility.h"

#include <QAccessibleWidget>
#include <QGroupBox>
#include <QWidget>

namespace lrf {

namespace {

constexpr const char* kHidden = "lrfAccessibleHidden";

// A panel's interface that counts only the children shown to a person.
class PanelInterface : public QAccessibleWidget {
public:
    PanelInterface(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

    int childCount() const override { return static_cast<int>(Shown().size()); }

    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> shown = Shown();
        if (index < 0 || index >= shown.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(shown.at(index));
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child)
            return -1;
        return static_cast<int>(Shown().indexOf(qobject_cast<QWidget*>(child->object())));
    }

    QString text(QAccessible::Text t) const override {
        // A group box without an accessible name of its own is named by its title.
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            if (const auto* box = qobject_cast<const QGroupBox*>(widget()))
                return box->title();
        return QAccessibleWidget::text(t);
    }

private:
    QList<QWidget*> Shown() const {
        QList<QWidget*> shown;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child && !child->isWindow() && child->isVisibleTo(widget()) &&
                !child->property(kHidden).toBool())
                shown << child;
        }
        return shown;
    }
};

// Asked first, at the most derived class of each object.
QAccessibleInterface* PanelFactory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (qobject_cast<QGroupBox*>(widget))
        return new PanelInterface(widget, QAccessible::Grouping);
    if (className == QLatin1String("QWidget") || className == QLatin1String("QFrame"))
        return new PanelInterface(widget, QAccessible::Pane);
    return nullptr;
}

} // namespace

void InstallAccessibility() {
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(&PanelFactory);
    installed = true;
}

void HideFromAccessibility(QWidget& widget) {
    widget.setProperty(kHidden, true);
}

} // namespace lrf
