// Entry point of the widget test programs: a QApplication (offscreen platform) around GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // The pictures and help pages are compiled into the static pelmar_ui library.
    Q_INIT_RESOURCE(pelmar);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
