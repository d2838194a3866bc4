#!/usr/bin/env python3
"""The status page in headless Chromium over a real socket.

Runs tovrin-batch --http over a folder of drawings (one with a <script>
header, one whose file name is an <img onerror> tag, one cut short) and
checks the rows, the state labels, a preview picture that loads, that no
drawing's text runs as script, that the page refreshes itself and that a
phone-wide window needs no sideways scrolling outside the tables.

  status_page_browser.py TOVRIN_BATCH MAKE_DRAWINGS
Exit 0 passed, 1 failed, 77 skipped (no browser, driver or Selenium).
With TOVRIN_SHOT_DIR set, also saves status-desktop.png and status-phone.png.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP = 77


def skip(why):
    print("skipped: " + why)
    return SKIP


def wait_for(what, check, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def start_batch(batch, folder, preview):
    log = open(os.path.join(folder, "batch.log"), "wb")
    proc = subprocess.Popen(
        [batch, "--watch", "1", "--settle", "0", "--set", "OfiOut=ﾌｧｲﾙ",
         "--preview", preview, "--http", "127.0.0.1:0"],
        cwd=folder, stdout=log, stderr=subprocess.STDOUT)

    def port():
        with open(os.path.join(folder, "batch.log"), "rb") as f:
            m = re.search(rb"status page on http://127\.0\.0\.1:(\d+)/", f.read())
        return m and int(m.group(1))
    return proc, wait_for("the status page's address", port)


def waiting_names(base):
    with urllib.request.urlopen(base + "api/status", timeout=5) as r:
        return [w["name"] for w in json.load(r)["waiting"]]


def history_rows(base):
    with urllib.request.urlopen(base + "api/history?limit=50", timeout=5) as r:
        return json.load(r)["rows"]


def browser(chromium, driver_path, width, height, phone=False):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    profile = tempfile.mkdtemp(prefix="tovrin-chromium-")
    for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--user-data-dir=" + profile,
                "--window-size=%d,%d" % (width, height), "--lang=ja"):
        options.add_argument(arg)
    if phone:
        options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
            "width": width, "height": height, "pixelRatio": 2.0}})
    driver = webdriver.Chrome(service=Service(driver_path), options=options)
    driver.set_page_load_timeout(30)
    return driver, profile


# Read in one script run: the page replaces its tables when it refreshes,
# and elements looked up one by one may be gone by the time they are read.
def texts(driver, css):
    return driver.execute_script(
        "return Array.from(document.querySelectorAll(arguments[0]),"
        " e => e.innerText.trim());", css)


def check_page(driver, base):
    driver.get(base)
    assert driver.title == "出図状況 - Tovrin", driver.title
    files = texts(driver, "#history td.file")
    assert len(files) == 6, files
    headers = texts(driver, "#history td.header")
    assert "<script>z=1</scr,ipt>" in headers, headers
    assert "<svg onload=z=2>,1234" in headers, headers
    assert "<img src=x onerror=z=3>.OFI" in files, files
    results = texts(driver, "#history td.result")
    assert results.count("出図終了") == 5 and "図面不完全" in results, results
    assert driver.execute_script("return typeof window.z") == "undefined"
    assert texts(driver, "#history-health") == ["正常"], texts(driver, "#history-health")
    # The cut drawing waits for its end marker, shown as such.
    waiting = texts(driver, "#waiting td.file")
    assert waiting == ["CUT.OFI"], waiting
    assert texts(driver, "#waiting td.why") == ["図面不完全"], texts(driver, "#waiting td.why")
    loaded = driver.execute_script(
        "return Array.from(document.querySelectorAll('#history td.pic img'))"
        ".map(function(i){return [i.complete, i.naturalWidth];})")
    assert len(loaded) == 5, loaded
    wait_for("the preview pictures", lambda: all(w > 0 for _, w in driver.execute_script(
        "return Array.from(document.querySelectorAll('#history td.pic img'))"
        ".map(function(i){i.loading='eager';return [i.complete, i.naturalWidth];})")))


def check_refresh(driver, folder, make):
    # A drawing plotted now shows up without a reload, and still nothing ran.
    staging = tempfile.mkdtemp(dir=folder)
    subprocess.run([make, staging], check=True)
    os.rename(os.path.join(staging, "PLAN-A.OFI"), os.path.join(folder, "NEW.OFI"))
    wait_for("the new drawing on the page",
             lambda: "NEW.OFI" in texts(driver, "#history td.file"), 30)
    assert driver.execute_script("return typeof window.z") == "undefined"
    shutil.rmtree(staging)


def check_phone(driver):
    overflow = driver.execute_script(
        "return document.documentElement.scrollWidth - window.innerWidth")
    assert overflow <= 0, "the page is %d px wider than a phone" % overflow


def run(batch, make, chromium, driver_path):
    with tempfile.TemporaryDirectory(prefix="tovrin-web-") as folder:
        preview = os.path.join(folder, "preview")
        os.mkdir(preview)
        subprocess.run([make, folder], check=True)
        proc, port = start_batch(batch, folder, preview)
        base = "http://127.0.0.1:%d/" % port
        shots = os.environ.get("TOVRIN_SHOT_DIR")
        try:
            wait_for("six history rows", lambda: len(history_rows(base)) >= 6)
            wait_for("the cut drawing waiting", lambda: waiting_names(base) == ["CUT.OFI"])
            driver, profile = browser(chromium, driver_path, 1280, 900)
            try:
                check_page(driver, base)
                if shots:
                    driver.save_screenshot(os.path.join(shots, "status-desktop.png"))
                check_refresh(driver, folder, make)
            finally:
                driver.quit()
                shutil.rmtree(profile, ignore_errors=True)
            driver, profile = browser(chromium, driver_path, 390, 844, phone=True)
            try:
                driver.get(base)
                check_phone(driver)
                if shots:
                    driver.save_screenshot(os.path.join(shots, "status-phone.png"))
            finally:
                driver.quit()
                shutil.rmtree(profile, ignore_errors=True)
        finally:
            proc.terminate()
            proc.wait(timeout=30)
    print("status page in Chromium: 1 passed, 0 failed")
    return 0


def main():
    batch, make = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    chromium = shutil.which("chromium")
    driver_path = shutil.which("chromedriver")
    if not chromium or not driver_path:
        return skip("chromium and chromium-driver are not installed")
    try:
        import selenium  # noqa: F401
    except ImportError:
        return skip("python3-selenium is not installed")
    try:
        return run(batch, make, chromium, driver_path)
    except AssertionError as e:
        print("FAILED: %s" % e)
        return 1


if __name__ == "__main__":
    sys.exit(main())
