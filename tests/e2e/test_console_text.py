"""Console text the code page cannot show is replaced character by character, never cut."""
import re

SAVED = "\nThe diagnostics file was saved as:\n"
SEND = "\nPlease send the file to your Technical Support contact.\n"


def test_a_package_path_outside_the_code_page_is_printed_whole(wine):
    folder, name = "C:\\T\u00ebst \u00f1", "p\u00e2ck \u6f22\u5b57.zip"
    wine.drive_c(folder).mkdir()
    target = folder + "\\" + name
    out = wine.run("-run", target, stdin=None)
    assert out.exit_code == 0
    assert (wine.drive_c(folder) / name).is_file()
    # Wine's ANSI code page here is 1252, as the C runtime's bytes were for these letters.
    text = out.stdout.decode("cp1252").replace("\r\n", "\n")
    shown = re.escape(target).replace(re.escape("\u6f22\u5b57"), r"(?:\?\?|\u6f22\u5b57)")
    assert re.search(re.escape(SAVED) + shown + re.escape(SEND), text), text[-400:]
