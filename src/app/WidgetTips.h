#pragma once

#include <QString>
#include <QWidget>

// One text as a widget's tool tip and as its status-bar tip.
inline void SetTips(QWidget* widget, const QString& tip) {
    widget->setToolTip(tip);
    widget->setStatusTip(tip);
}
