int N = 8;
double a[8];
int main(void)
{
  int i;
  for (i = 1; i < N; i++) {
#pragma latency [2][1]
    a[i] = a[i - 1];
  }
  return 0;
}
