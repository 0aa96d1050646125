"""Reads the running program's window over AT-SPI, as a screen reader would,
and checks the controls' names, roles and states."""
import sys
import time

import pyatspi


def find_app(name):
    for _ in range(100):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.1)
    return None


def walk(acc, found):
    state = acc.getState()
    text = None
    try:
        text = acc.queryText().getText(0, -1)
    except NotImplementedError:
        pass
    found.append((acc.getRoleName(), acc.name, text,
                  state.contains(pyatspi.STATE_ENABLED), state.contains(pyatspi.STATE_FOCUSED),
                  state.contains(pyatspi.STATE_VISIBLE)))
    for i in range(acc.childCount):
        walk(acc.getChildAtIndex(i), found)


def main():
    app = find_app("Lumaro")
    if app is None:
        print("FAIL: the program is not on the accessibility bus")
        return 1
    found = []
    walk(app, found)
    by_name = {}
    for row in found:
        by_name.setdefault(row[1], row)
    failures = []

    def expect(name, role, enabled=True, focused=None, text=None):
        row = by_name.get(name)
        if row is None:
            failures.append(f"no control named {name!r}")
            return
        if row[0] != role:
            failures.append(f"{name!r} is a {row[0]}, not a {role}")
        if row[3] != enabled:
            failures.append(f"{name!r} enabled={row[3]}")
        if focused is not None and row[4] != focused:
            failures.append(f"{name!r} focused={row[4]}")
        if text is not None and row[2] != text:
            failures.append(f"{name!r} reads {row[2]!r}, not {text!r}")

    expect("Lumaro         ", "frame")
    for button in ["修改", "更改图片", "截取屏幕", "初始化", "顶层文字修改", "顶层颜色", "底层颜色",
                   "顶层粗体", "底层粗体", "顶层字号更改", "底层字号更改"]:
        expect(button, "push button")
    expect("保存图片", "push button", enabled=False)
    expect("描边效果", "check box")
    expect("宽度百分比", "text", focused=True, text="100")
    expect("高度百分比", "text", focused=False, text="100")
    expect("字号", "text", text="12")
    for label in ["宽:3000", "高:2880", "字号设置", "Moku", "%"]:
        expect(label, "label")
    for item in ["文件(F)", "窗口(W)", "帮助(H)", "打开", "字体窗口", "图像窗口", "文字窗口", "图片窗口",
                 "说明", "网站"]:
        expect(item, "menu item")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(found)} accessible objects read")
    return 1 if failures else 0


sys.exit(main())
