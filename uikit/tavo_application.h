#pragma once

class QApplication;

// Settings every QApplication of the program needs, set before it is created.
void PrepareApplicationAttributes();
// The application's names, as the main program and the tests both use them.
void SetUpApplication(QApplication& app);
