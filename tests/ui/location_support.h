#pragma once
// What the location window tests share: the window test environment with no game folder yet,
// and a double-click on a list row.

#include "ui/FindUnreal.h"
#include "ui_support.h"

#include <QList>
#include <QListWidget>
#include <QTest>

namespace locationtest {

// Double-clicks the row of a list view, once the view has laid its rows out.
inline bool DoubleClickRow(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> hits = list->findItems(text, Qt::MatchExactly);
    if (hits.size() != 1)
        return false;
    list->doItemsLayout();
    const QRect row = list->visualItemRect(hits.first());
    if (!row.isValid())
        return false;
    // A real double-click is a click followed by the double-click press.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    return true;
}

class Environment : public uitest::Environment {
public:
    Environment() : uitest::Environment("") {}
    ~Environment() {
        ui::FindUnreal::MessageBoxHook() = nullptr;
        uitest::CloseAllWindows();
    }
};

} // namespace locationtest
