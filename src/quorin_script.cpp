// quorin-script: the headless, line-oriented driver.
int main() { return 0; }
