"""The window's table of controls, read from app/controls.h: a dict a row,
by the row's fields, with `role` and `name` as a screen reader reads them."""
import os
import re

ROLES = {"Text": "text", "Display": "text", "Password": "password text", "Button": "push button",
         "CheckBox": "check box", "ComboBox": "combo box", "List": "list", "Grid": "table",
         "Label": "label"}
ROW = re.compile(r'\{"(\w+)",\s*Kind::(\w+),\s*Panel::(\w+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+),'
                 r'\s*"([^"]*)",\s*"([^"]*)",\s*(\d+)\}')
header = os.path.join(os.path.dirname(__file__), "..", "..", "app", "controls.h")
controls = {}
for m in ROW.finditer(open(header).read()):
    name, kind, panel, left, top, width, height, caption, names, tab = m.groups()
    controls[name] = dict(kind=kind, panel=panel, left=int(left), top=int(top), width=int(width),
                          height=int(height), caption=caption, role=ROLES[kind], tab=int(tab),
                          name="" if kind == "Label" else names or caption)
