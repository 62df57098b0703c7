#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
"""Reads the running program over AT-SPI, as a screen reader does.

atspi_probe.py tree APP      one line a node: role, name, description
atspi_probe.py text APP NAME  the text (text interface) and the description of the first
                             node named NAME that has a text (exit 1 when there is none)
atspi_probe.py wait APP NAME SECONDS
                             waits for a change of the description of the node named
                             NAME and prints the new description (exit 1 on time-out)
"""
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def find_app(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == name:
            return app
    return None


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from walk(node.get_child_at_index(i), depth + 1)


def tree(app_name):
    app = find_app(app_name)
    if app is None:
        print("no application " + app_name)
        return 1
    for node in walk(app):
        print("%s\t%s\t%s" % (node.get_role_name(), node.get_name(), node.get_description()))
    return 0


def wait(app_name, node_name, seconds):
    loop = GLib.MainLoop()
    result = {}

    def changed(event):
        source = event.source
        if source is not None and source.get_name() == node_name:
            result["description"] = source.get_description()
            loop.quit()

    listener = Atspi.EventListener.new(changed)
    listener.register("object:property-change:accessible-description")
    GLib.timeout_add_seconds(int(seconds), loop.quit)
    print("listening", flush=True)
    loop.run()
    if "description" not in result:
        print("no change of " + node_name)
        return 1
    print(result["description"])
    return 0


def text(app_name, node_name):
    app = find_app(app_name)
    for node in walk(app):
        if node.get_name() != node_name:
            continue
        try:  # a window of that title has no text
            print(Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node)))
        except GLib.Error:
            continue
        print(node.get_description())
        return 0
    print("no node " + node_name)
    return 1


if __name__ == "__main__":
    if sys.argv[1] == "tree":
        sys.exit(tree(sys.argv[2]))
    if sys.argv[1] == "text":
        sys.exit(text(sys.argv[2], sys.argv[3]))
    sys.exit(wait(sys.argv[2], sys.argv[3], sys.argv[4]))
