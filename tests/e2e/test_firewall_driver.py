"""The firewall driver's report in the package: the testbed's kernel driver, started by the
program through the service manager, answers as the registry value "DriverAnswer" says."""
import time

import pytest

REPORT = ("QorTdi stand-in report\r\n"
          "Regeln: 3 aktiv \u2014 \u00dcberwachung an\r\n"
          "\u72b6\u614b: \u6b63\u5e38\r\n"
          "input bytes: 8\r\n"
          "output bytes: {output}\r\n"
          "clock: current\r\n")
OK_LINE = "Operation result code: 0 (0x0)\r\n"


def run_package(session, tmp_path):
    """Console text and the report summary of one -run."""
    text, (summary,) = session.package(tmp_path / "pkg.zip", "tdidump.txt")
    return text, summary


def service_state(session, name):
    return session.wine("sc", "query", name).stdout


def stop_service(session, name):
    """Stops a driver service and waits until its device is gone."""
    session.wine("sc", "stop", name)
    for _ in range(50):
        if "RUNNING" not in service_state(session, name) and \
                "PENDING" not in service_state(session, name):
            return
        time.sleep(0.1)
    pytest.fail(f"{name} does not stop")


def test_report_holds_the_drivers_text(suite, tmp_path):
    text, summary = run_package(suite, tmp_path)
    assert "Driver...OK\n" in text
    assert summary == REPORT.format(output=2048) + OK_LINE


@pytest.mark.parametrize("answer, body", [
    ("grow", REPORT.format(output=10000)),
    ("empty", ""),
    ("alternate", REPORT.format(output=2048)),  # the plain path refused, the global one taken
    ("overlong", "short\r\n"),                   # only the bytes returned, not the length claimed
])
def test_answers_that_succeed(suite, tmp_path, answer, body):
    with suite.testbed_answer("DriverAnswer", answer):
        text, summary = run_package(suite, tmp_path)
    assert "Driver...OK\n" in text
    assert summary == body + OK_LINE


@pytest.mark.parametrize("answer, attempts, code", [
    ("invalid", 20, "-536805290 (0xe0010056)"),  # asked twenty times
    ("huge", 1, "-536805375 (0xe0010001)"),      # an unallocatable size: out of memory
])
def test_answers_that_fail(suite, tmp_path, answer, attempts, code):
    with suite.testbed_answer("DriverAnswer", answer):
        text, summary = run_package(suite, tmp_path)
    assert "Reading QOR directory...OK\nDriver..." + "Failed\n" * attempts + "Registry LSP" in text
    assert summary == f"Operation result code: {code}\r\n"


@pytest.mark.parametrize("version, started, idle", [
    ("win7", "QorTdi", "QorWfp"),
    ("win81", "QorWfp", "QorTdi"),
])
def test_service_follows_the_windows_version(suite, tmp_path, version, started, idle):
    # The processor letter: A on a 64-bit system, X on a 32-bit one.
    started, idle = started + suite.build.processor, idle + suite.build.processor
    for name in (started, idle):
        stop_service(suite, name)
    try:
        with suite.windows_version(version):
            _, summary = run_package(suite, tmp_path)
        assert "RUNNING" in service_state(suite, started)
        assert "RUNNING" not in service_state(suite, idle)
    finally:
        stop_service(suite, started)
    assert summary == REPORT.format(output=2048) + OK_LINE
