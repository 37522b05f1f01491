#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints what a screen reader reads of one program over AT-SPI: its windows'
# objects depth first, as a JSON list of {depth, role, name, focused,
# showing, labels}, where labels are the names of the objects that label it
# (a form's label before its field). The program is given by its process id.
import json
import sys

import pyatspi


def walk(node, depth, out):
    states = node.getState().getStates()
    labels = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            labels += [relation.getTarget(i).name
                       for i in range(relation.getNTargets())]
    out.append({
        "depth": depth,
        "role": node.getRoleName(),
        "name": node.name or "",
        "focused": pyatspi.STATE_FOCUSED in states,
        "showing": pyatspi.STATE_SHOWING in states,
        "labels": labels,
    })
    for child in node:
        if child is not None:
            walk(child, depth + 1, out)


def main():
    pid = int(sys.argv[1])
    out = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            walk(app, 0, out)
    json.dump(out, sys.stdout, ensure_ascii=False)


main()
