// A program that does nothing: the file whose version resource the tests read.
int main() {
  return 0;
}
