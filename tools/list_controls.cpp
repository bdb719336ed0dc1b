// Writes the window's table of controls (app/controls.h) as tab-separated
// lines, for the end-to-end tests: name, kind, panel, left, top, width,
// height (twips), caption, and the accessible name a screen reader reads.

#include "app/controls.h"

#include <cstdio>

int main()
{
    using namespace kelvo::controls;
    static const char* const kinds[] = {"label",     "text",   "display", "password", "button",
                                        "check box", "combo box", "list", "table"};
    static const char* const panels[] = {"login", "login note", "main", "main note"};
    for (const Control& c : kControls) {
        const bool label = c.kind == Kind::Label;
        const char* name = !label && *c.names ? c.names : label ? "" : c.caption;
        std::printf("%s\t%s\t%s\t%d\t%d\t%d\t%d\t%s\t%s\n", c.name, kinds[int(c.kind)],
                    panels[int(c.panel)], c.left, c.top, c.width, c.height, c.caption, name);
    }
    return 0;
}
