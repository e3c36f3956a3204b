#ifndef BOXMERE_BOXHISTORY_H
#define BOXMERE_BOXHISTORY_H

#include "boxes/boxinfo.h"

#include <QVector>

// Undo and redo for the boxes of one image, as copies of the whole list: an image
// holds few boxes, and a copy gives back exactly the values it was taken from.
class BoxHistory
{
public:
    using State = QVector<BoxInfo>;

    // Notes the state before an edit and forgets what could be redone. Inside a
    // group only the first edit is noted, so the group undoes as one step.
    void record(const State &before);
    // Edits until the matching endGroup() form one step (a drag that reports as it
    // goes). Groups nest; an endGroup() without a beginGroup() does nothing.
    void beginGroup();
    void endGroup();

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    // The state to go back to; current becomes the one to redo. Only when canUndo().
    State undo(const State &current);
    // The state to go forward to; current becomes the one to undo. Only when canRedo().
    State redo(const State &current);
    void clear();

    // Steps kept; older ones are dropped.
    static constexpr int MaxSteps = 500;

private:
    QVector<State> m_undo;
    QVector<State> m_redo;
    int m_depth = 0;
    bool m_groupRecorded = false;
};

#endif
