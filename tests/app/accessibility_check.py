#!/usr/bin/python3
"""Checks the main dialog as a screen reader sees it: through AT-SPI, under Xvfb.

Usage (inside a D-Bus session): accessibility_check.py PROGRAM BANK
Exit code 77 when Xvfb, the accessibility bus or the AT-SPI bindings are missing.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77


def main():
    program, bank = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    try:
        import gi

        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
    except (ImportError, ValueError):
        return SKIP
    launcher = "/usr/libexec/at-spi-bus-launcher"
    if not shutil.which("Xvfb") or not os.path.exists(launcher) or not os.path.exists(bank):
        return SKIP

    work = tempfile.mkdtemp()
    procs = []
    try:
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-noreset", "-nolisten", "tcp"],
                                pass_fds=(write_fd,))
        procs.append(xvfb)
        os.close(write_fd)
        display = ":" + os.read(read_fd, 16).decode().strip()
        env = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("QT_QPA_PLATFORM", None)
        # In a session of its own: the bus daemons it starts go with it.
        procs.append(subprocess.Popen([launcher, "--launch-immediately", "--a11y=1"], env=env, start_new_session=True))
        time.sleep(1)
        shutil.copy(bank, os.path.join(work, "tovra.mdb"))
        app = subprocess.Popen([program], cwd=work, env=env)
        procs.append(app)

        dialog = None
        for _ in range(100):
            time.sleep(0.1)
            desktop = Atspi.get_desktop(0)
            for i in range(desktop.get_child_count()):
                candidate = desktop.get_child_at_index(i)
                if candidate is not None and candidate.get_process_id() == app.pid and candidate.get_child_count():
                    window = candidate.get_child_at_index(0)
                    if window is not None and window.get_name() == "Marvolen":
                        dialog = window
            if dialog:
                break
        if dialog is None:
            print("the main dialog did not appear on the accessibility bus")
            return 1

        seen = []

        def walk(node):
            for i in range(node.get_child_count()):
                child = node.get_child_at_index(i)
                if child is None:
                    continue
                seen.append((child.get_role_name(), child.get_name(), child))
                walk(child)

        walk(dialog)
        names = {(role, name) for role, name, _ in seen}
        expected = [
            ("list", "测试列表"),
            ("push button", "下一题"),
            ("push button", "检查新版本"),
            ("push button", "关于"),
            ("push button", "退出"),
            ("radio button", "A"),
            ("radio button", "E"),
            ("label", "选择测试"),
        ]
        failures = [e for e in expected if e not in names]
        if not any(name == "您的答案" for _, name, _ in seen):
            failures.append(("grouping", "您的答案"))
        edits = [node for role, name, node in seen if name == "问题"]
        if not edits:
            failures.append(("text", "问题"))
        else:
            node = edits[0]
            content = Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))
            if not content.strip():
                failures.append(("question text", content))
        if failures:
            print("missing:", failures)
            print("seen:", sorted((r, n) for r, n, _ in seen))
            return 1
        print("ok:", len(seen), "accessible objects")
        return 0
    finally:
        for proc in reversed(procs):
            try:
                os.killpg(proc.pid, signal.SIGKILL) if proc is procs[1] else proc.kill()
            except ProcessLookupError:
                pass
            proc.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
