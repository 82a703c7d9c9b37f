#!/usr/bin/env python3
"""Writes qml/qml.qrc from the QML, icon and style files under qml/ (run after adding a file)."""
import os

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'qml')
files = []
for base, dirs, names in os.walk(root):
    dirs[:] = [d for d in dirs if d not in ('src', 'translations', 'fonts')]
    for name in names:
        if name.endswith(('.qml', '.svg', '.js')) or name == 'qmldir':
            files.append(os.path.relpath(os.path.join(base, name), root))
lines = ['<!DOCTYPE RCC>', '<RCC version="1.0">', '<qresource prefix="/qml">']
lines += ['    <file>%s</file>' % f for f in sorted(files)]
lines += ['</qresource>', '<qresource prefix="/">',
          '    <file>qtquickcontrols2.conf</file>', '</qresource>', '</RCC>', '']
with open(os.path.join(root, 'qml.qrc'), 'w') as out:
    out.write('\n'.join(lines))
