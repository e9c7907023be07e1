"""The run's own log in the package: one line per printed step, as the console showed it,
and the wait for the children before packing."""
import re

from conftest import dump_text


def test_run_log_follows_the_transcript(suite_package):
    log, summary = (dump_text(suite_package.files[name], name)
                    for name in ("runlog.txt", "tdidump.txt"))
    lines = log.split("\r\n")
    assert lines[-1] == "" and re.fullmatch(r"Total\t\d+ ms", lines[-2])
    entries = [line.split("\t") for line in lines[:-2]]
    assert all(len(fields) == 4 and re.fullmatch(r"-?\d+ \(0x[0-9a-f]+\)", fields[2])
               and re.fullmatch(r"\d+ ms", fields[3]) for fields in entries), entries

    # Every child ended before packing: the package holds their whole files.
    assert entries.pop()[:3] == ["Waiting for child programs", "OK", "0 (0x0)"]
    text = suite_package.text
    shown = text[:text.index("Creating ZIP...")]
    assert [fields[1] for fields in entries] == re.findall(r"(OK|Failed|skipped)\n", shown)
    position = 0
    for message, *_ in entries:  # each message where the console printed it, in order
        position = shown.index(message, position)

    driver = [fields[2] for fields in entries if fields[0] == "Driver"]
    code = summary.split("Operation result code: ")[-1].strip()
    assert driver[-1] == code
