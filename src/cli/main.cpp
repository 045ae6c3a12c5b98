// pelmar-tool: dumps and posts messages of a base from the command line.
int main(int argc, char** argv) { return 0; }
