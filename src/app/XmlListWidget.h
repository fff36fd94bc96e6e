#pragma once

#include <QAbstractItemDelegate>
#include <QListWidget>
#include <QString>

namespace Zelvo {
class XmlDocument;
class XmlElement;
}  // namespace Zelvo

// A list whose rows are the children of one XML element: each row shows its element's `item`
// attribute and keeps the element's address under Qt::UserRole, so the document itself is the
// model. The owner refills the list after it changes the document; until then the rows point
// at the elements they were filled from.
class XmlListWidget : public QListWidget {
    Q_OBJECT

public:
    explicit XmlListWidget(QWidget* parent = nullptr);

    // One row per child element of the first element named elementName (searched from the
    // root, never created) that has an `item` attribute, in document order.
    void Fill(Zelvo::XmlDocument& document, const char* elementName);
    static Zelvo::XmlElement* ElementOf(const QListWidgetItem* row);
    // The row of the element, made current and selected (or deselected); null when no row
    // holds it, and then nothing changes.
    QListWidgetItem* Select(const Zelvo::XmlElement* element);
    QListWidgetItem* Deselect(const Zelvo::XmlElement* element);
    QListWidgetItem* RowOf(const Zelvo::XmlElement* element) const;
    // How many rows show exactly this text.
    int CountText(const QString& text) const;
    // Opens the in-place editor on the row. EditTextDone reports the row and its text from
    // before the edit once the editor closes (the text is unchanged after Escape).
    void StartRename(QListWidgetItem* row);

signals:
    void EditTextDone(QListWidgetItem* row, const QString& oldText);

private slots:
    void OnEditTextDone(QWidget* editor, QAbstractItemDelegate::EndEditHint hint);

private:
    QString textBeforeEdit;
    bool renaming = false;
};
