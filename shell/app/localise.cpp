#include "shell/app/localise.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QVariant>
#include <QWidget>

#include "catalogue/languages.h"

namespace lumora {
namespace {

constexpr char kControlIdProperty[] = "controlId";

}  // namespace

QString Text(std::string_view key) {
    return QString::fromStdU16String(LookupText(key));
}

void SetControlId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* control) {
    const QVariant id = control->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : -1;
}

QWidget* DialogItem(QWidget* dialog, int id) {
    if (dialog == nullptr)
        return nullptr;
    const auto children = dialog->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (ControlId(child) == id)
            return child;
    }
    return nullptr;
}

QString WindowText(const QWidget* widget) {
    if (widget->isWindow())
        return widget->windowTitle();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    return {};
}

void SetWindowText(QWidget* widget, const QString& text) {
    if (widget->isWindow())
        widget->setWindowTitle(text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
}

void SetWindowTextByKey(QWidget* widget, std::string_view key) {
    if (widget != nullptr)
        SetWindowText(widget, QString::fromStdU16String(LookupText(key)));
}

void SetItemTextByKey(QWidget* dialog, int id, std::string_view key) {
    SetWindowTextByKey(DialogItem(dialog, id), key);
}

void LocaliseWindowTree(QWidget* root) {
    if (root == nullptr)
        return;
    auto localise = [](QWidget* widget) {
        const QString current = WindowText(widget);
        if (current.isEmpty())
            return;
        if (auto text = LocalisedText(current.toStdU16String()))
            SetWindowText(widget, QString::fromStdU16String(*text));
    };
    localise(root);
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children)
        localise(child);
}

}  // namespace lumora
