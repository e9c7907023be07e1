"""The package's report page "report.html": read by Python's HTML parser and opened in a
real browser, from a run in which a registry value of the suite holds a script tag."""
import html.parser
import re
import zipfile

import pytest

from conftest import dump_text

# The export of HKLM\SOFTWARE\QOR carries it into the page; it must stay text.
INJECTED = "<script>window.qorInjected = 1</script>"
VOID = {"meta", "br", "hr", "img", "input", "link", "col", "wbr"}


class PageReader(html.parser.HTMLParser):
    """Checks that every element is closed in order; keeps the steps table's rows, the
    script elements and the text of every dump part."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []
        self.scripts = 0
        self.rows = []  # (class, [cell texts]) of the steps table's body
        self.dumps = {}  # summary text -> text of its <pre>
        self._table = None
        self._cell = None
        self._summary = None  # the text of a dump part's summary
        self._dump = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "script":
            self.scripts += 1
        if tag not in VOID:
            self.open.append(tag)
        if tag == "table":
            self._table = attrs.get("class")
        elif tag == "tr" and self._table == "steps" and "tbody" in self.open:
            self.rows.append((attrs.get("class"), []))
        elif tag == "td" and self.rows and self._table == "steps" and "tbody" in self.open:
            self._cell = ""
        elif tag == "details" and attrs.get("class") == "dump":
            self._summary = ""
        elif tag == "pre" and self._summary is not None:
            self._dump = ""

    def handle_endtag(self, tag):
        assert self.open and self.open[-1] == tag, (tag, self.open[-3:])
        self.open.pop()
        if tag == "td" and self._cell is not None:
            self.rows[-1][1].append(self._cell)
            self._cell = None
        elif tag == "table":
            self._table = None
        elif tag == "pre" and self._dump is not None:
            self.dumps[self._summary.split(" (")[0]] = self._dump
            self._dump = None
        elif tag == "details":
            self._summary = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data
        if self._dump is not None:
            self._dump += data
        elif self._summary is not None:
            self._summary += data


@pytest.fixture(scope="module")
def page_package(suite, tmp_path_factory):
    """One -run while a value under the suite's key holds a script tag: the console text, the
    package's files by name and the folder it lies in."""
    folder = tmp_path_factory.mktemp("report")
    with suite.registry_value("HKLM\\SOFTWARE\\QOR", "Notes", INJECTED):
        text, _ = suite.package(folder / "package.zip")
    with zipfile.ZipFile(folder / "package.zip") as archive:
        files = {name: archive.read(name) for name in archive.namelist()}
    return text, files, folder


def run_log_rows(files):
    """(step, outcome, hexadecimal code) of each line of "runlog.txt"."""
    lines = dump_text(files["runlog.txt"], "runlog.txt").split("\r\n")[:-2]
    return [(step, outcome, re.search(r"\((0x[0-9a-f]+)\)", code).group(1))
            for step, outcome, code, _ in (line.split("\t") for line in lines)]


def test_page_reads_and_matches_the_run_log(page_package):
    text, files, _ = page_package
    assert "\tAdding file report.html...OK\n" in text
    reader = PageReader()
    reader.feed(files["report.html"].decode("utf-8"))
    reader.close()
    assert reader.open == [] and reader.scripts == 0
    expected = run_log_rows(files)
    assert [tuple(cells[:3]) for _, cells in reader.rows] == expected
    assert [cls == "failed" for cls, _ in reader.rows] == [o == "Failed" for _, o, _ in expected]
    assert any(outcome == "Failed" for _, outcome, _ in expected)  # Wine has no route.exe
    # Every text file of the package in its own part, the export with the tag as text.
    tops = {name for name in files if "/" not in name and "\\" not in name}
    assert set(reader.dumps) == tops - {"report.html"}
    assert INJECTED in reader.dumps["qor8dump.txt"]
    assert dump_text(files["sysdump.txt"], "sysdump.txt") in reader.dumps["sysdump.txt"]


def test_browser_shows_the_failures_and_runs_no_script(page_package, tmp_path):
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By

    _, files, folder = page_package
    page = folder / "report.html"
    page.write_bytes(files["report.html"])
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu",
                     f"--user-data-dir={tmp_path / 'profile'}", "--disable-dev-shm-usage",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--disable-quic"):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.get(page.as_uri())
        assert driver.find_element(By.ID, "build").text == \
            "QORFWDIAG build 241, product version 4203"
        shown = [tuple(cell.text for cell in row.find_elements(By.TAG_NAME, "td")[:3])
                 for row in driver.find_elements(By.CSS_SELECTOR, "table.steps tr.failed")]
        assert shown == [row for row in run_log_rows(files) if row[1] == "Failed"]

        export = driver.find_element(
            By.XPATH, "//details[@class='dump'][starts-with(summary, 'qor8dump.txt ')]")
        text = export.find_element(By.TAG_NAME, "pre")
        assert export.get_attribute("open") is None and not text.is_displayed()
        export.find_element(By.TAG_NAME, "summary").click()
        assert export.get_attribute("open") is not None and text.is_displayed()
        assert INJECTED in text.text
        assert driver.execute_script("return typeof window.qorInjected") == "undefined"
    finally:
        driver.quit()
