#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/XmlListWidget.h"
#include "app/XmlTreeWidget.h"
#include "xml/XmlDocument.h"

using Zelvo::XmlDocument;
using Zelvo::XmlElement;

namespace {

QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}

}  // namespace

TEST(XmlListWidget, RowsShowTheItemsOfTheChildrenAndLeadBackToThem) {
    XmlDocument d;
    ASSERT_TRUE(d.Parse("<Root><Other><Image item='x'/></Other>"
                        "<Images><Image item='0: a.jpg' path='/a.jpg'/><Image path='/no-item.jpg'/>"
                        "<Note item='n'/><Image item='2: B\xc3\xa4ume.jpg'/></Images></Root>"));
    XmlListWidget list;
    list.Fill(d, "Images");
    // Any child element with an item is a row, whatever its name; one without is not.
    ASSERT_EQ(Texts(list), QStringList({"0: a.jpg", "n", QString::fromUtf8("2: B\xc3\xa4ume.jpg")}));
    std::vector<XmlElement*> children = d.FindElement("Images", nullptr, false)->ChildElements("Image");
    EXPECT_EQ(XmlListWidget::ElementOf(list.item(0)), children[0]);
    EXPECT_EQ(XmlListWidget::ElementOf(list.item(2)), children[2]);
    EXPECT_EQ(XmlListWidget::ElementOf(nullptr), nullptr);

    // Select and Deselect make the row current; an element no row holds changes nothing.
    EXPECT_EQ(list.Select(children[2]), list.item(2));
    EXPECT_TRUE(list.item(2)->isSelected());
    EXPECT_EQ(list.currentItem(), list.item(2));
    EXPECT_EQ(list.Deselect(children[2]), list.item(2));
    EXPECT_FALSE(list.item(2)->isSelected());
    EXPECT_EQ(list.Select(children[1]), nullptr);  // the Image without item
    EXPECT_EQ(list.Select(nullptr), nullptr);
    EXPECT_TRUE(list.selectedItems().isEmpty());

    // A refill starts over; an element name that is missing leaves the list empty.
    list.Fill(d, "Images");
    EXPECT_EQ(list.count(), 3);
    list.Fill(d, "Nothing");
    EXPECT_EQ(list.count(), 0);
}

TEST(XmlListWidget, CountTextAndRenameInPlace) {
    XmlDocument d;
    ASSERT_TRUE(d.Parse("<Projects><Project item='a'/><Project item='b'/><Project item='a'/></Projects>"));
    XmlListWidget list;
    list.Fill(d, "Projects");
    EXPECT_EQ(list.CountText("a"), 2);
    EXPECT_EQ(list.CountText("b"), 1);
    EXPECT_EQ(list.CountText("c"), 0);

    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy done(&list, &XmlListWidget::EditTextDone);
    list.StartRename(list.item(1));
    // Only the rename's own editor opens: the row is not editable otherwise.
    EXPECT_FALSE(list.item(1)->flags() & Qt::ItemIsEditable);
    auto* editor = list.findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "renamed");
    QTest::keyClick(editor, Qt::Key_Return);  // the delegate closes its editor from the event loop
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.count() == 1; }, 1000));
    EXPECT_EQ(done[0][0].value<QListWidgetItem*>(), list.item(1));
    EXPECT_EQ(done[0][1].toString(), "b");
    EXPECT_EQ(list.item(1)->text(), "renamed");

    // Escape keeps the text; the signal still reports the end of the rename.
    list.StartRename(list.item(0));
    editor = list.findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, "zzz");
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.count() == 2; }, 1000));
    EXPECT_EQ(done[1][1].toString(), "a");
    EXPECT_EQ(list.item(0)->text(), "a");
}

TEST(XmlTreeWidget, TheTreeMirrorsTheElementsWithLinksBothWays) {
    XmlDocument d;
    ASSERT_TRUE(d.Parse("<Root><Tree>"
                        "<Node item='0: a.jpg'><Node item='1: b.jpg'><Node item='3: d.jpg'/></Node>"
                        "<Node><Node item='hidden below a node without item'/></Node></Node>"
                        "<Node item='2: c.jpg'/></Tree></Root>"));
    XmlTreeWidget tree;
    tree.Fill(d, "Tree");
    EXPECT_EQ(tree.headerItem()->text(0), "Tree");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    EXPECT_EQ(top->text(0), "Tree");
    XmlElement* treeElement = d.FindElement("Tree", nullptr, false);
    EXPECT_EQ(XmlTreeWidget::ElementOf(top), treeElement);
    EXPECT_EQ(XmlTreeWidget::RowOf(treeElement), top);

    ASSERT_EQ(top->childCount(), 2);
    QTreeWidgetItem* a = top->child(0);
    EXPECT_EQ(a->text(0), "0: a.jpg");
    ASSERT_EQ(a->childCount(), 1);  // the child without item is left out with its subtree
    EXPECT_EQ(a->child(0)->text(0), "1: b.jpg");
    EXPECT_EQ(a->child(0)->child(0)->text(0), "3: d.jpg");
    EXPECT_EQ(top->child(1)->text(0), "2: c.jpg");
    XmlElement* d3 = d.FindElement("Node", nullptr, false)->FindDescendant("Node", "item", "3: d.jpg", false);
    EXPECT_EQ(XmlTreeWidget::RowOf(d3), a->child(0)->child(0));
    EXPECT_EQ(XmlTreeWidget::ElementOf(a->child(0)->child(0)), d3);

    // Expanding widens the column to its rows.
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    tree.setColumnWidth(0, 5);
    tree.expandAll();
    QCoreApplication::processEvents();
    EXPECT_GT(tree.columnWidth(0), 40);

    // Children without item: only the top row. A missing element: no rows at all.
    XmlDocument bare;
    ASSERT_TRUE(bare.Parse("<Root><Tree><Node/><Node><Node item='x'/></Node></Tree></Root>"));
    tree.Fill(bare, "Tree");
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(tree.topLevelItem(0)->childCount(), 0);
    tree.Fill(bare, "Missing");
    EXPECT_EQ(tree.topLevelItemCount(), 0);
    EXPECT_EQ(tree.headerItem()->text(0), "Missing");
}
