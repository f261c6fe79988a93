// What screen readers see of a tab strip: the view is a page tab list
// whose children are its tabs, page tabs named by their texts, selected
// when current and focused when the strip has the keyboard focus.
#pragma once

class CTabItem;
class CTabScene;

namespace TabStripAccessibility {

// Installs the interfaces' factory; once per process, the first view
// made does it.
void Install();

// Tells screen readers that a tab came, goes or became current.
void TabCreated(CTabItem *pTab);
void TabRemoved(CTabItem *pTab);
void TabCurrent(CTabScene *pStrip, CTabItem *pTab);

} // namespace TabStripAccessibility
