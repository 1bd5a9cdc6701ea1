#!/usr/bin/env python3
"""Checks that #include lines only go down between the project's target folders.

A folder is a target when it holds include/<name>/; its headers are reached as <name/...>.
Fails when two folders include each other (directly or round a longer loop), when a
widget-free folder includes a Qt Widgets header or a widget folder, or when the view
includes a widget folder other than the panels it owns. Prints the folder graph."""
import glob
import os
import re
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
skip = ('tests/', 'bench/', 'fuzz/', 'build')

# Folders without Qt Widgets: the logic and the file formats build and test without a display.
widget_free = {'sdk', 'mdns', 'tools/pcap', 'tools/sim', 'tools/service', 'tools/cli', 'app/workers', 'app/logic',
               'player/csv', 'measure/config', 'resources'}
# What the view may include of the widget folders: the panels and the window it owns, and the
# prompts every widget shows its boxes through.
view_owns = {'kes_panels/info_widget.h', 'kes_panels/color_label.h', 'kes_panels/reset_widget.h',
             'kes_panels/logo_widget.h', 'kes_measure/accuracy_info.h', 'kes_prompts/prompts.h'}

prefixes = {}
for inc in glob.glob(os.path.join(root, '**/include/*/'), recursive=True):
    inc = inc.rstrip('/')
    folder = os.path.relpath(os.path.dirname(os.path.dirname(inc)), root)
    if not folder.startswith(skip):
        prefixes[os.path.basename(inc)] = folder

widget_headers = set()
for qt in glob.glob('/usr/include/**/qt5/QtWidgets', recursive=True):
    widget_headers.update(os.listdir(qt))

include = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
header_tag = re.compile(r'<header>([^<]+)</header>')


def owner(path):
    """The target folder a source file belongs to: the deepest folder with a CMakeLists.txt."""
    folder = os.path.dirname(path)
    while folder and not os.path.exists(os.path.join(root, folder, 'CMakeLists.txt')):
        folder = os.path.dirname(folder)
    return folder


edges = {}
faults = []
for path in sorted(glob.glob(os.path.join(root, '**/*.[ch]*'), recursive=True)):
    rel = os.path.relpath(path, root)
    if rel.startswith(skip) or not rel.endswith(('.h', '.cpp')):
        continue
    folder = owner(rel)
    for line in open(path, encoding='utf-8'):
        m = include.match(line)
        if not m:
            continue
        name = m.group(1)
        if name.startswith('ui_'):
            # A form's custom widgets are includes of the folder that builds the form.
            form = os.path.join(root, 'forms', name[3:-2] + '.ui')
            names = header_tag.findall(open(form, encoding='utf-8').read()) if os.path.exists(form) else []
        else:
            names = [name]
        for name in names:
            target = prefixes.get(name.split('/')[0]) if '/' in name else None
            if folder in widget_free and (name in widget_headers or name.startswith('QtWidgets')):
                faults.append(f'{rel}: a widget-free folder includes {name}')
            if target is None or target == folder:
                continue
            edges.setdefault(folder, set()).add(target)
            if folder in widget_free and target not in widget_free:
                faults.append(f'{rel}: a widget-free folder includes the widget folder {target} ({name})')
            if folder == 'Interface' and target not in widget_free and name not in view_owns:
                faults.append(f'{rel}: the view includes {name}, which it does not own')


def loop_from(start):
    stack = [(start, [start])]
    while stack:
        node, trail = stack.pop()
        for nxt in sorted(edges.get(node, ())):
            if nxt == start:
                return trail + [start]
            if nxt not in trail:
                stack.append((nxt, trail + [nxt]))
    return None


for folder in sorted(edges):
    trail = loop_from(folder)
    if trail:
        faults.append('folders include each other: ' + ' -> '.join(trail))
        break

for folder in sorted(edges):
    print(f'{folder:16} -> ' + ', '.join(sorted(edges[folder])))
for fault in faults:
    print('FAULT', fault)
sys.exit(1 if faults else 0)
