// Velmar: interactive confidence limits for mu + lambda x sigma-squared.
int main()
{
    return 0;
}
