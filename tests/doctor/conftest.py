def pytest_configure(config):
    config.addinivalue_line(
        "markers", "exe32: runs the shipped 32-bit exe under emulated 32-bit Wine (about a minute per start)")
