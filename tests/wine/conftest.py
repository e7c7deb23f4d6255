"""Fixtures of the Wine integration tests; see harness.py for what they drive."""

import pytest

import harness


@pytest.fixture(scope="session")
def wine_session():
    """One X display, one Wine prefix and one running wineserver for the whole run."""
    with harness.wine_session_on_display() as session:
        yield session


def _app_folder(wine_session, tmp_path, bin_dir):
    app = harness.AppFolder(wine_session, tmp_path / "app", bin_dir)
    app.remove_user_data()
    yield app
    app.remove_user_data()


@pytest.fixture
def app(wine_session, tmp_path):
    """A fresh folder with the 64-bit twin of Quillframe.exe and the stand-in runtime."""
    yield from _app_folder(wine_session, tmp_path, harness.bin_dir_64())


@pytest.fixture
def app32(wine_session, tmp_path):
    """The same with the shipped 32-bit build (tests marked exe32)."""
    yield from _app_folder(wine_session, tmp_path, harness.bin_dir_32())


@pytest.fixture
def dpi(wine_session):
    """Call with a DPI (e.g. 144) to set it for apps started afterwards; 96 again after the test."""
    yield wine_session.set_dpi
    wine_session.set_dpi(harness.DEFAULT_DPI)


@pytest.fixture(scope="session")
def _no_installed_runtimes(wine_session):
    """No runtime registered when the run starts, whatever an earlier run that was killed left behind."""
    harness.InstalledRuntimes(wine_session).unregister_all(("HKLM", "HKCU"))


@pytest.fixture
def installed_runtimes(wine_session, _no_installed_runtimes):
    """Registers runtime folders for the built-in loader to find; gone again after the test, since the
    Wine prefix (and so its registry) serves the whole run."""
    runtimes = harness.InstalledRuntimes(wine_session)
    yield runtimes
    runtimes.unregister_all()
