#pragma once

#include <QFrame>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tallyra {

class Notifier;
class SchemaStore;

// Panel 1: each field's title, whether it is used and the labels of the two-valued
// fields; the element editor Picture2 edits the three element lists. Each change is stored
// when it is made.
class StructurePanel : public QFrame {
    Q_OBJECT
public:
    StructurePanel(SchemaStore& schema, Notifier& notifier, QWidget* parent = nullptr);

    // Filled from the definitions each time the panel is opened.
    void fill();
    void apply();              // 确定 (Command3_0)
    void cancel();             // 取消 (Command3_1)
    void openElements(int i);  // 编辑内容 (Command6_8..10)
    void changeCount();        // 调整元素个数 (Command9)
    void selectElement(int row);
    void modifyElement();  // 修改 (Command3_3)
    void closeElements();  // 关闭 (Command3_2)

Q_SIGNALS:
    void closed();

private:
    void followCheck(int i);

    std::array<QLineEdit*, 25> titles_{};
    std::array<QCheckBox*, 25> enabled_{};
    std::array<QPushButton*, 3> editLists_{};
    std::array<QLineEdit*, 7> firstLabels_{};
    std::array<QLineEdit*, 7> secondLabels_{};
    QFrame* elements_ = nullptr;
    QLabel* elementsTitle_ = nullptr;
    QLineEdit* count_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* number_ = nullptr;
    QLineEdit* element_ = nullptr;
    int listField_ = -1;  // 0-2 while the element editor is open

    SchemaStore& schema_;
    Notifier& notifier_;
};

}  // namespace tallyra
