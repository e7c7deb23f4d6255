"""What every pytest suite here shares: the exe32 marker, and for the suites outside tests/wine that start Wine
themselves (package, doctor) one Wine session per run. tests/wine has a session fixture of its own."""
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent / "wine"))
import harness  # noqa: E402


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "exe32: runs the shipped 32-bit exe under emulated 32-bit Wine (about a minute per start)")


@pytest.fixture(scope="session")
def wine_session(request):
    # The Wine tests keep the prefix locked for their whole run; waiting for it
    # from the same run would wait for ever.
    wine_tests = str(Path(__file__).resolve().parent / "wine" / "conftest.py")
    if any(getattr(plugin, "__file__", None) == wine_tests for plugin in request.config.pluginmanager.get_plugins()):
        pytest.fail("this suite shares the Wine prefix with tests/wine: run it in a pytest run of its own")
    with harness.wine_session_on_display() as session:
        yield session
