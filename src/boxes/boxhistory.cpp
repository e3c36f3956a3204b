#include "boxhistory.h"

void BoxHistory::record(const State &before)
{
    if (m_depth > 0 && m_groupRecorded)
        return;
    m_groupRecorded = m_depth > 0;
    if (m_undo.size() >= MaxSteps)
        m_undo.removeFirst();
    m_undo.append(before);
    m_redo.clear();
}

void BoxHistory::beginGroup()
{
    ++m_depth;
}

void BoxHistory::endGroup()
{
    if (m_depth > 0 && --m_depth == 0)
        m_groupRecorded = false;
}

BoxHistory::State BoxHistory::undo(const State &current)
{
    m_groupRecorded = false;
    m_redo.append(current);
    return m_undo.takeLast();
}

BoxHistory::State BoxHistory::redo(const State &current)
{
    m_groupRecorded = false;
    m_undo.append(current);
    return m_redo.takeLast();
}

void BoxHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_depth = 0;
    m_groupRecorded = false;
}
