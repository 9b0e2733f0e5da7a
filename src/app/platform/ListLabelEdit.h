#pragma once
// The in-place edit of a list's label: which entry is being edited and in which editor, and
// whether the edit's AfterLabelEdit is running. One edit raises one AfterLabelEdit.

#include <QPointer>
#include <QScopedValueRollback>
#include <QWidget>
#include <cstdint>
#include <optional>

namespace talvane {

class LabelEdit {
public:
    void Start(uint32_t slot, uint32_t generation, QWidget* editor) {
        slot_ = slot;
        generation_ = generation;
        editor_ = editor;
    }
    // The editor of the open edit; none once it has closed.
    QWidget* OpenEditor() const { return editor_ && !editor_->isHidden() ? editor_ : nullptr; }

    // The generation of the entry in `slot` when the edit of that entry may end with its
    // event now; the edit is then ended. Nothing when no edit of that entry is open, or while
    // the event of one runs: the editor may try to commit again while the handler's message
    // box has taken its focus.
    std::optional<uint32_t> Finish(uint32_t slot) {
        if (inAfterLabelEdit_ || !slot_ || *slot_ != slot) return std::nullopt;
        slot_.reset();
        return generation_;
    }
    // Marks the edit's event as running until the returned guard goes, however the handler
    // ends: one that throws leaves later edits free to end.
    [[nodiscard]] QScopedValueRollback<bool> RunningAfterLabelEdit() {
        return QScopedValueRollback<bool>(inAfterLabelEdit_, true);
    }

private:
    std::optional<uint32_t> slot_;
    uint32_t generation_ = 0;
    QPointer<QWidget> editor_;
    bool inAfterLabelEdit_ = false;
};

}  // namespace talvane
