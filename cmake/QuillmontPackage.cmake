# Package folder and zip; filled in with the main window.
